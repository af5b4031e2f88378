#include "store/jet/jet4_text.h"

namespace zestrel::jet {

std::u16string decodeJet4Text(std::span<const std::uint8_t> bytes) {
    std::u16string out;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        bool compressed = true;
        std::size_t i = 2;
        while (i < bytes.size()) {
            if (bytes[i] == 0x00) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out.push_back(bytes[i++]);
            } else if (i + 1 < bytes.size()) {
                out.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
                i += 2;
            } else {
                break;
            }
        }
        return out;
    }
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        out.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return out;
}

namespace {

// Writes the byte storing `unit` at `out`; false when the page does not store it as itself.
inline bool putHeld(char16_t unit, const text::CodePage& page, std::uint8_t*& out) {
    if (unit < 0x80) {
        *out++ = static_cast<std::uint8_t>(unit);
        return true;
    }
    return page.storesAsItself(unit, *out++);
}

// Each function writes at most one byte a character into `out`, sized for the worst case, and
// returns where it stopped, or nullptr when a character is not stored as itself.
std::uint8_t* compressedInCodePage(std::span<const std::uint8_t> bytes, const text::CodePage& page,
                                   std::uint8_t* out) {
    bool compressed = true;
    std::size_t i = 2;
    while (i < bytes.size()) {
        if (bytes[i] == 0x00) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            if (!putHeld(bytes[i++], page, out)) return nullptr;
        } else if (i + 1 < bytes.size()) {
            if (!putHeld(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)), page, out)) return nullptr;
            i += 2;
        } else {
            break;
        }
    }
    return out;
}

std::uint8_t* plainInCodePage(std::span<const std::uint8_t> bytes, const text::CodePage& page, std::uint8_t* out) {
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        if (!putHeld(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)), page, out)) return nullptr;
    return out;
}

}  // namespace

bool jet4TextInCodePage(std::span<const std::uint8_t> bytes, const text::CodePage& page,
                        std::vector<std::uint8_t>& out) {
    const bool compressed = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    out.resize(compressed ? bytes.size() - 2 : bytes.size() / 2);
    std::uint8_t* end =
        compressed ? compressedInCodePage(bytes, page, out.data()) : plainInCodePage(bytes, page, out.data());
    if (end == nullptr) return false;
    out.resize(static_cast<std::size_t>(end - out.data()));
    return true;
}

}  // namespace zestrel::jet
