// The code page tables the program carries, generated from Windows' published mappings
// (scripts/generate_code_pages.py). Raw data; text/code_page.h is the interface to use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace zestrel::text::tables {

// In toUnicode: a byte the code page leaves undefined, and a lead byte of a double-byte character.
inline constexpr char16_t kUndefined = 0xFFFF;
inline constexpr char16_t kLeadByte = 0xFFFE;

struct CodePageSource {
    std::uint16_t number;
    char16_t defaultCharacter;       // what an undefined byte or byte pair reads as
    const char16_t* toUnicode;       // 256 entries, one a byte
    const std::uint16_t* doubleByte; // pairs (lead << 8 | trail, character), sorted; double-byte pages only
    std::size_t doubleByteCount;
    const std::uint16_t* fromUnicode;  // pairs (character, byte), sorted, best fit included; single-byte pages only
    std::size_t fromUnicodeCount;
};

std::span<const CodePageSource> all();

}  // namespace zestrel::text::tables
