#include "platform/path_text.h"

#include "platform/console.h"
#include "text/utf8.h"

namespace zestrel::platform {

namespace {

constexpr char16_t kByteBase = 0xDC00;  // U+DC80..U+DCFF stand for the bytes 0x80..0xFF

bool isEscapedByte(char16_t unit) { return unit >= 0xDC80 && unit <= 0xDCFF; }
bool isHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

#ifndef _WIN32

unsigned continuation(std::string_view bytes, std::size_t at) {
    if (at >= bytes.size()) return 0x100;
    const auto byte = static_cast<unsigned char>(bytes[at]);
    return (byte & 0xC0) == 0x80 ? (byte & 0x3Fu) : 0x100;
}

// The length of the well-formed UTF-8 sequence at `at` and its code point; 0 when there is none
// (a stray byte, an overlong form, a surrogate, beyond U+10FFFF).
std::size_t sequenceAt(std::string_view bytes, std::size_t at, char32_t& cp) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (lead < 0x80) {
        cp = lead;
        return 1;
    }
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4) return 0;
    char32_t value = lead & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned next = continuation(bytes, at + k);
        if (next > 0x3F) return 0;
        value = (value << 6) | next;
    }
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    cp = value;
    return length;
}

std::u16string textOfBytes(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (std::size_t at = 0; at < bytes.size();) {
        char32_t cp = 0;
        const std::size_t length = sequenceAt(bytes, at, cp);
        if (length == 0) {
            out.push_back(static_cast<char16_t>(kByteBase | static_cast<unsigned char>(bytes[at++])));
            continue;
        }
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        at += length;
    }
    return out;
}

#endif

// The text in UTF-8, each escaped byte handed to `byte` to be written as it chooses.
template <typename WriteByte>
std::string utf8Of(std::u16string_view text, WriteByte&& byte) {
    std::string out;
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool paired = i > 0 && isHighSurrogate(text[i - 1]) && isLowSurrogate(text[i]);
        if (!isEscapedByte(text[i]) || paired) continue;
        text::appendUtf8(text.substr(plainFrom, i - plainFrom), out);
        byte(out, static_cast<unsigned char>(text[i] & 0xFF));
        plainFrom = i + 1;
    }
    text::appendUtf8(text.substr(plainFrom), out);
    return out;
}

}  // namespace

std::string shownText(std::u16string_view text) {
    return utf8Of(text, [](std::string& out, unsigned char byte) {
        constexpr char kHex[] = "0123456789ABCDEF";
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
    });
}

#ifdef _WIN32

std::u16string textOfPath(const std::filesystem::path& path) {
    const std::wstring& wide = path.native();
    return std::u16string(wide.begin(), wide.end());
}

std::filesystem::path pathOfText(std::u16string_view text) { return std::filesystem::path(std::wstring(text.begin(), text.end())); }

std::filesystem::path pathFromArgument(std::string_view argument) { return pathFromUtf8(argument); }

#else

std::u16string textOfPath(const std::filesystem::path& path) { return textOfBytes(path.native()); }

std::filesystem::path pathOfText(std::u16string_view text) {
    return std::filesystem::path(utf8Of(text, [](std::string& out, unsigned char byte) { out += static_cast<char>(byte); }));
}

std::filesystem::path pathFromArgument(std::string_view argument) { return std::filesystem::path(std::string(argument)); }

#endif

std::string shownPath(const std::filesystem::path& path) { return shownText(textOfPath(path)); }

}  // namespace zestrel::platform
