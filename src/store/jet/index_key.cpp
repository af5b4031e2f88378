#include "store/jet/index_key.h"

namespace zestrel::jet {

namespace {

// Letter codes of the General sort order in Jet 3 index keys. The order has
// room for letters of other alphabets between some of ours (after c, d, l, n),
// so the codes are not consecutive. Zero: no code known for that letter.
constexpr std::uint8_t kLetterCodes[26] = {
    0x60, 0x61, 0x62, 0x64, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6F,  // a..m
    0x70, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x00, 0x00, 0x00, 0x7D, 0x00,  // n..z (v w x z unknown)
};
constexpr std::uint8_t kDigitZero = 0x56;
constexpr std::uint8_t kUnderscore = 0x2C;
constexpr std::uint8_t kTextEnd = 0x00;

std::optional<std::uint8_t> codeOf(char16_t c) {
    if (c >= u'0' && c <= u'9') return static_cast<std::uint8_t>(kDigitZero + (c - u'0'));
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 0x20);
    if (c >= u'a' && c <= u'z' && kLetterCodes[c - u'a'] != 0) return kLetterCodes[c - u'a'];
    if (c == u'_') return kUnderscore;
    return std::nullopt;
}

}  // namespace

void appendLongKey(std::vector<std::uint8_t>& key, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value) ^ 0x80000000u;
    key.push_back(kKeyAscending);
    for (int shift = 24; shift >= 0; shift -= 8) key.push_back(static_cast<std::uint8_t>(bits >> shift));
}

bool hasTextKey(const std::u16string& text) {
    for (char16_t c : text)
        if (!codeOf(c)) return false;
    return true;
}

bool appendTextKey(std::vector<std::uint8_t>& key, const std::u16string& text) {
    if (!hasTextKey(text)) return false;
    key.push_back(kKeyAscending);
    for (char16_t c : text) key.push_back(*codeOf(c));
    key.push_back(kTextEnd);
    return true;
}

}  // namespace zestrel::jet
