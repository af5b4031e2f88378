#include "store/jet/jet4_text.h"

namespace zestrel::jet {

namespace {

// Hands each UTF-16 unit of the stored text to `visit` in turn, until it returns false; returns
// whether every unit was visited.
template <class Visit>
bool forEachUnit(std::span<const std::uint8_t> bytes, Visit visit) {
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        bool compressed = true;
        std::size_t i = 2;
        while (i < bytes.size()) {
            if (bytes[i] == 0x00) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                if (!visit(static_cast<char16_t>(bytes[i++]))) return false;
            } else if (i + 1 < bytes.size()) {
                if (!visit(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)))) return false;
                i += 2;
            } else {
                break;
            }
        }
        return true;
    }
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
        if (!visit(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)))) return false;
    return true;
}

}  // namespace

std::u16string decodeJet4Text(std::span<const std::uint8_t> bytes) {
    std::u16string out;
    out.reserve(bytes.size() / 2);
    forEachUnit(bytes, [&](char16_t unit) {
        out.push_back(unit);
        return true;
    });
    return out;
}

bool jet4TextInCodePage(std::span<const std::uint8_t> bytes, const text::CodePage& page,
                        std::vector<std::uint8_t>& out) {
    // At most one byte a character: half the plain form, the compressed form less its mark.
    const bool compressed = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    out.resize(compressed ? bytes.size() - 2 : bytes.size() / 2);
    std::uint8_t* next = out.data();
    const bool held = forEachUnit(bytes, [&](char16_t unit) {
        if (unit < 0x80) {
            *next++ = static_cast<std::uint8_t>(unit);
            return true;
        }
        return page.storesAsItself(unit, *next++);
    });
    out.resize(held ? static_cast<std::size_t>(next - out.data()) : 0);
    return held;
}

}  // namespace zestrel::jet
