// Index keys as Jet 3 stores them in index pages, for the columns of the
// catalog's indexes: Long values and texts in the General sort order.
//
// A key column is a flag byte (0x7F ascending, 0x00 null) and the encoded
// value. Long: four bytes big-endian with the sign bit flipped, so that byte
// order is number order. Text: one byte per character and a closing zero.
// Letters are case-blind, digits come before letters. Keys are written for
// texts of printable ASCII characters; any other character has no simple key
// (the engine adds extra bytes for accents), and appendTextKey says so.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::jet {

inline constexpr std::uint8_t kKeyAscending = 0x7F;
inline constexpr std::uint8_t kKeyNull = 0x00;

void appendLongKey(std::vector<std::uint8_t>& key, std::int32_t value);
// Appends the text's key; false (and nothing appended) when a character has no known code.
bool appendTextKey(std::vector<std::uint8_t>& key, const std::u16string& text);
// Whether every character of a name has a known key code.
bool hasTextKey(const std::u16string& text);

}  // namespace zestrel::jet
