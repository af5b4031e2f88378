#include "store/jet/index_key.h"

namespace zestrel::jet {

namespace {

// The General sort order's codes in Jet 3 index keys for the printable ASCII
// characters (0x20 to 0x7E), one byte each. Letters are case-blind and not
// consecutive: the order keeps room for letters of other alphabets (after c, d,
// l, n, u). Digits come before letters, punctuation before digits.
constexpr std::uint8_t kAsciiCodes[95] = {
    0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F, 0x20,  //  !"#$%&'()*+,-./
    0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26,  // 0123456789:;<=>?
    0x27, 0x60, 0x61, 0x62, 0x64, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6F, 0x70, 0x72,  // @ABCDEFGHIJKLMNO
    0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x28, 0x29, 0x2A, 0x2B, 0x2C,  // PQRSTUVWXYZ[\\]^_
    0x2D, 0x60, 0x61, 0x62, 0x64, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6F, 0x70, 0x72,  // `abcdefghijklmno
    0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x2E, 0x2F, 0x30, 0x31,  // pqrstuvwxyz{|}~
};
constexpr std::uint8_t kTextEnd = 0x00;

std::optional<std::uint8_t> codeOf(char16_t c) {
    if (c >= 0x20 && c <= 0x7E) return kAsciiCodes[c - 0x20];
    return std::nullopt;  // accented and other letters carry extra key bytes this engine does not write
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
