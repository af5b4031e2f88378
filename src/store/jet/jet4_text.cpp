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

// Appends the byte storing `unit`; false when the page does not store it as itself.
inline bool appendHeld(char16_t unit, const text::CodePage& page, std::vector<std::uint8_t>& out) {
    std::uint8_t byte = 0;
    if (!page.storesAsItself(unit, byte)) return false;
    out.push_back(byte);
    return true;
}

bool compressedInCodePage(std::span<const std::uint8_t> bytes, const text::CodePage& page,
                          std::vector<std::uint8_t>& out) {
    bool compressed = true;
    std::size_t i = 2;
    while (i < bytes.size()) {
        if (bytes[i] == 0x00) {
            compressed = !compressed;
            ++i;
        } else if (compressed) {
            if (!appendHeld(bytes[i++], page, out)) return false;
        } else if (i + 1 < bytes.size()) {
            if (!appendHeld(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)), page, out)) return false;
            i += 2;
        } else {
            break;
        }
    }
    return true;
}

}  // namespace

bool jet4TextInCodePage(std::span<const std::uint8_t> bytes, const text::CodePage& page,
                        std::vector<std::uint8_t>& out) {
    out.clear();
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        out.reserve(bytes.size() - 2);
        return compressedInCodePage(bytes, page, out);
    }
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        if (!appendHeld(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)), page, out)) return false;
    return true;
}

}  // namespace zestrel::jet
