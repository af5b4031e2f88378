// Index keys as Jet 3 stores them in index pages: Long values and texts in the
// General sort order.
//
// A key column is a flag byte (0x7F ascending, 0x00 null) and the encoded
// value. Long: four bytes big-endian with the sign bit flipped, so that byte
// order is number order. Text: the General sort key of sort_key.h, which for
// the characters of code page 1252 is the genuine engine's (primary bytes, then
// the accent section); a text with any other character has no key here, and
// appendTextKey says so.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zestrel::jet {

inline constexpr std::uint8_t kKeyAscending = 0x7F;
inline constexpr std::uint8_t kKeyNull = 0x00;

void appendLongKey(std::vector<std::uint8_t>& key, std::int32_t value);
// Appends the text's key; false (and nothing appended) when a character is not one of code page 1252.
bool appendTextKey(std::vector<std::uint8_t>& key, const std::u16string& text);
// Whether every character of a name has a key.
bool hasTextKey(const std::u16string& text);

}  // namespace zestrel::jet
