#include "text/natural_order.h"

#include <cstdint>

#include "text/case_fold.h"

namespace zestrel::text {

namespace {

// Markers that order the pieces of a key: the end of a text before a number, a number before
// any other character.
constexpr char kEnd = 0x00;
constexpr char kNumber = 0x01;
constexpr char kCharacter = 0x02;
constexpr char kPresent = 0x01;

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

void appendBigEndian(std::string& key, std::uint32_t value, int bytes) {
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) key += static_cast<char>((value >> shift) & 0xFF);
}

// A run of digits: its count of significant digits first, so that a longer number is a larger one.
std::size_t appendNumber(std::string& key, std::u16string_view text, std::size_t at) {
    std::size_t end = at;
    while (end < text.size() && isDigit(text[end])) ++end;
    std::size_t first = at;
    while (first < end && text[first] == u'0') ++first;
    key += kNumber;
    appendBigEndian(key, static_cast<std::uint32_t>(end - first), 4);
    for (std::size_t i = first; i < end; ++i) key += static_cast<char>(text[i]);
    return end;
}

}  // namespace

void appendNaturalKey(std::string& key, std::optional<std::u16string_view> text) {
    if (!text) {
        key += kEnd;
        return;
    }
    key += kPresent;
    for (std::size_t at = 0; at < text->size();) {
        if (isDigit((*text)[at])) {
            at = appendNumber(key, *text, at);
            continue;
        }
        key += kCharacter;
        appendBigEndian(key, foldCase((*text)[at]), 2);
        ++at;
    }
    key += kEnd;
}

}  // namespace zestrel::text
