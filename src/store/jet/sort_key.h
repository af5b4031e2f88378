// Comparing texts as the General sort order does, closely enough for ordering
// rows and matching names.
//
// The General order compares letters without regard to case, puts digits
// before letters and punctuation before digits, and treats an accented letter
// as its base letter unless the texts are otherwise equal. This engine follows
// that for ASCII and for the Latin letters of code page 1252 (accented letters
// fold to their base letter, with the accent as a second-level difference;
// ß counts as "ss", æ as "ae", œ as "oe"; ø is a letter of its own after z, as
// in the engine's keys). Every other character of code page
// 1252, hyphen and apostrophe included, is punctuation with a weight of its
// own in code order, as in the keys the engine writes into its indexes
// ("AA-AA" before "AAA", "A'B" before "AB"). Characters outside that range
// compare by their code value after all letters. Case never decides: texts
// that differ only in case compare equal.
#pragma once

#include <span>
#include <string>

namespace zestrel::jet {

// Negative, zero or positive as a sorts before, with or after b.
int compareGeneral(const std::u16string& a, const std::u16string& b);

// Appends to `out` a key of `text` whose bytes, compared as unsigned bytes, order texts as
// compareGeneral does (equal keys exactly for texts that compare equal), so that sorting many
// rows computes each text's weights once.
void appendGeneralSortKey(const std::u16string& text, std::string& out);
// The same key for a text given in a single-byte code page, when every character is an ASCII
// digit or letter (which every such page stores as in ASCII); otherwise false, and nothing written.
bool appendPlainSortKey(std::span<const std::uint8_t> text, std::string& out);

// Object names (tables, columns) match without regard to case.
bool equalsIgnoringCase(const std::u16string& a, const std::u16string& b);

}  // namespace zestrel::jet
