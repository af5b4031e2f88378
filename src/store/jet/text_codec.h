// Text as the two formats store it, and UTF-8 at the program's edges.
//
// Jet 3 keeps text in the database's code page; this engine reads and writes
// code page 1252 (the code page of the files it is used on). Jet 4 keeps UTF-16,
// optionally in its compressed form (a leading FF FE, then runs of one-byte
// characters and two-byte characters switched by a zero byte).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel::jet {

std::u16string decodeCp1252(std::span<const std::uint8_t> bytes);
// The code page 1252 byte for a code unit, or nothing when 1252 has no such character.
std::optional<std::uint8_t> encodeCp1252(char16_t unit);
// Whether every character of a text has a code page 1252 byte.
bool fitsCp1252(const std::u16string& text);
// Encodes all of a text; nothing when a character has no code page 1252 byte.
std::optional<std::vector<std::uint8_t>> encodeCp1252(const std::u16string& text);
// Writes the text's code page 1252 bytes, one a character, from `out`; false when a character has none.
bool writeCp1252(std::u16string_view text, std::uint8_t* out);
// Appends the text's code page 1252 bytes to `out`; false (and `out` as it was) when a character has none.
bool appendCp1252(std::u16string_view text, std::vector<std::uint8_t>& out);

std::u16string decodeJet4Text(std::span<const std::uint8_t> bytes);

std::string toUtf8(const std::u16string& text);
std::u16string fromUtf8(const std::string& text);

}  // namespace zestrel::jet
