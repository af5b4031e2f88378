#include "cli/shown_text.h"

#include "platform/path_text.h"

namespace zestrel::cli {

namespace {

void appendEscaped(std::string& out, unsigned code) {
    constexpr char kHex[] = "0123456789ABCDEF";
    out += "\\x";
    out += kHex[(code >> 4) & 0xF];
    out += kHex[code & 0xF];
}

// C1 controls are U+0080..U+009F, written in UTF-8 as C2 80..C2 9F.
bool isC1At(std::string_view utf8, std::size_t i) {
    return static_cast<unsigned char>(utf8[i]) == 0xC2 && i + 1 < utf8.size() &&
           (static_cast<unsigned char>(utf8[i + 1]) & 0xE0) == 0x80;
}

std::string escaped(std::string_view utf8, bool keepLineBreaks) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const bool kept = byte == '\t' || (byte == '\n' && keepLineBreaks);
        if (isC1At(utf8, i)) {
            appendEscaped(out, static_cast<unsigned char>(utf8[++i]));
        } else if ((byte < 0x20 && !kept) || byte == 0x7F) {
            appendEscaped(out, byte);
        } else {
            out += static_cast<char>(byte);
        }
    }
    return out;
}

}  // namespace

std::string shownLine(std::string_view utf8) { return escaped(utf8, false); }
std::string shownMessage(std::string_view utf8) { return escaped(utf8, true); }
std::string shownMessage(std::u16string_view text) { return escaped(platform::shownText(text), true); }
std::string shownName(const std::filesystem::path& path) { return shownLine(platform::shownPath(path)); }
std::string shownName(const std::u16string& pathText) { return shownLine(platform::shownText(pathText)); }

}  // namespace zestrel::cli
