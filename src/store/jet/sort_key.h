// Comparing texts in the General sort order, as the genuine Jet 3 engine
// orders the keys of its text indexes.
//
// A text's key is the primary bytes of its characters (general_codes.h), then
// an accent section: texts compare by their letters, digits and punctuation
// first, case never decides, and texts equal in those compare by their
// accents, place by place ("a" before "à" before "á"). The key of a text of
// code page 1252 characters is byte for byte the one the genuine engine writes
// into an index (index_key.h adds the flag byte before it): trailing spaces
// weigh nothing, "ß" weighs as "ss", control characters weigh alike and before
// every other character. A character outside code page 1252 weighs after every
// letter, in the order of its code.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zestrel::jet {

// Negative, zero or positive as a sorts before, with or after b.
int compareGeneral(const std::u16string& a, const std::u16string& b);

// Appends to `out` the key of `text`: keys compared as unsigned bytes order texts as
// compareGeneral does (equal keys exactly for texts that compare equal).
void appendGeneralSortKey(std::u16string_view text, std::string& out);
// The same key for a text given in a single-byte code page, when every character is an ASCII
// digit or letter (which every such page stores as in ASCII); otherwise false, and nothing written.
bool appendPlainSortKey(std::span<const std::uint8_t> text, std::string& out);
// Whether every character of the text is one of code page 1252, whose keys are the genuine engine's.
bool hasCodePageKey(std::u16string_view text);

// Object names (tables, columns) match without regard to case.
bool equalsIgnoringCase(const std::u16string& a, const std::u16string& b);

}  // namespace zestrel::jet
