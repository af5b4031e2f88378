#include "store/jet/text_codec.h"

#include <array>
#include <cstring>

namespace zestrel::jet {

namespace {

// Code page 1252 bytes 0x80..0x9F; the rest of the page equals Latin-1. The five
// bytes the code page leaves undefined map to the C1 control of the same value.
constexpr std::array<char16_t, 32> kHighControls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t cp1252ToUnit(std::uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHighControls[byte - 0x80];
    return byte;
}

// Whether every unit is ASCII, the same in code page 1252 and UTF-16. Most texts are plain
// ASCII; eight bytes are tested at a time.
template <typename Unit>
bool allAscii(const Unit* units, std::size_t count) {
    constexpr std::uint64_t kHighBits = sizeof(Unit) == 1 ? 0x8080808080808080ull : 0xFF80FF80FF80FF80ull;
    constexpr std::size_t kPerWord = 8 / sizeof(Unit);
    std::size_t i = 0;
    for (; i + kPerWord <= count; i += kPerWord) {
        std::uint64_t word;
        std::memcpy(&word, units + i, sizeof word);
        if (word & kHighBits) return false;
    }
    for (; i < count; ++i)
        if (units[i] >= 0x80) return false;
    return true;
}

}  // namespace

std::u16string decodeCp1252(std::span<const std::uint8_t> bytes) {
    // Plain ASCII widens as it is copied; only the rest needs the code page's table.
    if (allAscii(bytes.data(), bytes.size())) return std::u16string(bytes.begin(), bytes.end());
    std::u16string out(bytes.size(), u'\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out[i] = cp1252ToUnit(bytes[i]);
    return out;
}

std::optional<std::uint8_t> encodeCp1252(char16_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) return static_cast<std::uint8_t>(unit);
    for (std::size_t i = 0; i < kHighControls.size(); ++i)
        if (kHighControls[i] == unit) return static_cast<std::uint8_t>(0x80 + i);
    return std::nullopt;
}

bool fitsCp1252(const std::u16string& text) {
    if (allAscii(text.data(), text.size())) return true;
    for (char16_t unit : text)
        if ((unit >= 0x80 && unit < 0xA0) || unit > 0xFF) {
            if (!encodeCp1252(unit)) return false;
        }
    return true;
}

std::optional<std::vector<std::uint8_t>> encodeCp1252(const std::u16string& text) {
    std::vector<std::uint8_t> out;
    if (!appendCp1252(text, out)) return std::nullopt;
    return out;
}

bool writeCp1252(std::u16string_view text, std::uint8_t* out) {
    if (allAscii(text.data(), text.size())) {
        std::copy(text.begin(), text.end(), out);
        return true;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit < 0x80) {  // the common case, without a look-up
            out[i] = static_cast<std::uint8_t>(unit);
            continue;
        }
        auto byte = encodeCp1252(unit);
        if (!byte) return false;
        out[i] = *byte;
    }
    return true;
}

bool appendCp1252(std::u16string_view text, std::vector<std::uint8_t>& out) {
    const std::size_t start = out.size();
    out.resize(start + text.size());
    if (writeCp1252(text, out.data() + start)) return true;
    out.resize(start);
    return false;
}

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

std::string toUtf8(const std::u16string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

std::u16string fromUtf8(const std::string& text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    auto cont = [&](std::size_t k) -> std::uint32_t {
        if (i + k >= text.size()) return 0x100;
        auto c = static_cast<std::uint8_t>(text[i + k]);
        return (c & 0xC0) == 0x80 ? (c & 0x3Fu) : 0x100;
    };
    while (i < text.size()) {
        auto c = static_cast<std::uint8_t>(text[i]);
        std::uint32_t cp = 0xFFFD;
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 && cont(1) < 0x100) {
            cp = ((c & 0x1Fu) << 6) | cont(1);
            len = 2;
        } else if ((c & 0xF0) == 0xE0 && cont(1) < 0x100 && cont(2) < 0x100) {
            cp = ((c & 0x0Fu) << 12) | (cont(1) << 6) | cont(2);
            len = 3;
        } else if ((c & 0xF8) == 0xF0 && cont(1) < 0x100 && cont(2) < 0x100 && cont(3) < 0x100) {
            cp = ((c & 0x07u) << 18) | (cont(1) << 12) | (cont(2) << 6) | cont(3);
            len = 4;
        }
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp > 0xFFFF ? 0xFFFD : cp));
        }
        i += len;
    }
    return out;
}

}  // namespace zestrel::jet
