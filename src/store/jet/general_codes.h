// The codes the General sort order gives each character of code page 1252, as
// the genuine Jet 3 engine writes them into text index keys.
//
// A character weighs one or two primary bytes (0x10 to 0x81, from control
// characters, the character 0 included, through punctuation, digits and
// letters; "ß" weighs as "ss", "æ" as "ae"). Letters are case-blind. An
// accented letter weighs as its base letter and adds an accent code (grave 3,
// acute 4, circumflex 5, diaeresis 6, tilde 7, ring 8, cedilla 9, caron 10);
// each of the letters some character carries an accent on (a c e i n o s u y)
// holds a place in the key's accent section, 2 when it carries none.
#pragma once

#include <cstdint>

namespace zestrel::jet {

struct GeneralCode {
    std::uint16_t primary = 0;  // one byte, or two (high byte first)
    std::uint8_t accent = 0;    // 0 for a character without one
};

inline constexpr std::uint8_t kNoAccent = 2;  // the accent place of a letter without an accent

// The code of a byte of code page 1252.
GeneralCode generalCodeOf(std::uint8_t byte);

// Whether a primary byte is a letter that holds a place in the accent section.
bool takesAccent(std::uint8_t primary);

}  // namespace zestrel::jet
