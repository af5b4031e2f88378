// Windows code pages: how text stored in one reads, and what Windows stores when Unicode text goes
// into one.
//
// Reading follows the page's byte table (and, on the double-byte pages 932, 936, 949 and 950, its
// lead-byte tables); a byte or byte pair the page leaves undefined reads as the page's default
// character. Storing follows Windows' own rule, best fit included: a character the page has is
// stored as itself; one it lacks as its best-fit byte ("ą" as "a", "≤" as "="); one with no best
// fit as "?"; a character outside the Basic Multilingual Plane (a surrogate pair) as one "?".
// Storing is offered for the single-byte pages, the only ones text is ever written in here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "text/code_page_tables.h"

namespace zestrel::text {

class CodePage {
public:
    explicit CodePage(const tables::CodePageSource& source) : source_(&source) {}

    std::uint16_t number() const { return source_->number; }
    bool doubleByte() const { return source_->doubleByte != nullptr; }

    // The text that bytes stored in this page read as.
    std::u16string decode(std::span<const std::uint8_t> bytes) const;

    // The bytes Windows stores for `text`, one a character (a surrogate pair is one character),
    // from `out`, which has room for text.size() bytes; returns how many were written.
    std::size_t encode(std::u16string_view text, std::uint8_t* out) const;
    void appendEncoded(std::u16string_view text, std::vector<std::uint8_t>& out) const;
    // Whether the character `unit` (not half of a surrogate pair) is stored as itself; if so,
    // `byte` is the byte that stores it.
    bool storesAsItself(char16_t unit, std::uint8_t& byte) const {
        if (unit < 0x80) {
            byte = static_cast<std::uint8_t>(unit);
            return true;
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) return false;
        byte = byteFor(unit);
        return readBack(byte) == unit;
    }
    // Whether every character of `text` is stored as itself.
    bool holds(std::u16string_view text) const;
    // The text as it reads back once stored: `text` itself when holds(text).
    std::u16string stored(std::u16string_view text) const;

private:
    std::uint8_t byteFor(char16_t unit) const;
    char16_t readBack(std::uint8_t byte) const;

    const tables::CodePageSource* source_;
};

// The code page numbered `number`, or nullptr when the program carries no table for it.
const CodePage* findCodePage(std::uint16_t number);
// Code page 1252 (Western European), the page of every database this program creates.
extern const CodePage kWesternEuropean;
inline const CodePage& westernEuropean() { return kWesternEuropean; }

// Whether a UTF-16 code unit starts a surrogate pair that the next unit completes.
inline bool isPairStart(std::u16string_view text, std::size_t at) {
    return text[at] >= 0xD800 && text[at] <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 &&
           text[at + 1] <= 0xDFFF;
}

}  // namespace zestrel::text
