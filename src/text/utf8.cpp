#include "text/utf8.h"

namespace zestrel::text {

std::string toUtf8(const std::u16string& text) {
    std::string out;
    appendUtf8(text, out);
    return out;
}

// Written through a pointer into room for the longest form (three bytes a code unit; a surrogate
// pair takes four for its two), then cut to what was written.
void appendUtf8(std::u16string_view text, std::string& out) {
    const std::size_t before = out.size();
    out.resize(before + 3 * text.size());
    char* to = out.data() + before;
    const auto put = [&to](std::uint32_t byte) { *to++ = static_cast<char>(byte); };
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t cp = text[i];
        if (cp < 0x80) {
            put(cp);
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        if (cp < 0x800) {
            put(0xC0 | (cp >> 6));
        } else if (cp < 0x10000) {
            put(0xE0 | (cp >> 12));
            put(0x80 | ((cp >> 6) & 0x3F));
        } else {
            put(0xF0 | (cp >> 18));
            put(0x80 | ((cp >> 12) & 0x3F));
            put(0x80 | ((cp >> 6) & 0x3F));
        }
        put(0x80 | (cp & 0x3F));
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
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

}  // namespace zestrel::text
