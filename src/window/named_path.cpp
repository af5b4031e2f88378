#include "window/named_path.h"

#include <algorithm>
#include <optional>
#include <string>

#include "text/utf8.h"

namespace zestrel {

namespace {

#ifdef _WIN32
constexpr bool kWindowsPaths = true;
#else
constexpr bool kWindowsPaths = false;
#endif

constexpr std::u16string_view kScheme = u"file:";

char16_t lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c; }

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::u16string trimmed(const std::u16string& text) {
    std::size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The bytes of a URL's path with every %XX decoded, or nothing when an escape is malformed.
// Characters written out as themselves (as a typed address has them) are taken as UTF-8.
std::optional<std::string> percentDecoded(std::u16string_view encoded) {
    std::string bytes;
    std::size_t i = 0;
    while (i < encoded.size()) {
        const std::size_t escape = std::min(encoded.find(u'%', i), encoded.size());
        text::appendUtf8(encoded.substr(i, escape - i), bytes);
        if (escape == encoded.size()) break;
        if (escape + 2 >= encoded.size()) return std::nullopt;
        const int high = hexDigit(encoded[escape + 1]), low = hexDigit(encoded[escape + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes += static_cast<char>(high * 16 + low);
        i = escape + 3;
    }
    return bytes;
}

// Whether the bytes are UTF-8 throughout (what fromUtf8 gives back without a U+FFFD it did not read).
bool isUtf8(const std::string& bytes) { return text::toUtf8(text::fromUtf8(bytes)) == bytes; }

// "/C:/x/y" (a drive in a Windows file URL) as "C:\x\y"; other paths with backslashes.
std::u16string windowsPath(std::u16string path, const std::u16string& host) {
    if (path.size() >= 3 && path[0] == u'/' && path[2] == u':') path.erase(0, 1);
    for (auto& c : path)
        if (c == u'/') c = u'\\';
    return host.empty() ? path : u"\\\\" + host + path;
}

NamedPath noFile(const std::u16string& why) { return {u"", why}; }

}  // namespace

bool isFileUrl(const std::u16string& text) {
    const std::u16string start = trimmed(text).substr(0, kScheme.size());
    if (start.size() < kScheme.size()) return false;
    for (std::size_t i = 0; i < kScheme.size(); ++i)
        if (lower(start[i]) != kScheme[i]) return false;
    return true;
}

NamedPath pathNamedBy(const std::u16string& text) {
    if (!isFileUrl(text)) return {text, u""};
    std::u16string rest = trimmed(text).substr(kScheme.size());
    std::u16string host;
    if (rest.starts_with(u"//")) {
        const std::size_t slash = rest.find(u'/', 2);
        host = rest.substr(2, slash == std::u16string::npos ? std::u16string::npos : slash - 2);
        rest = slash == std::u16string::npos ? u"" : rest.substr(slash);
    }
    std::u16string hostLower;
    for (const char16_t c : host) hostLower += lower(c);
    if (hostLower == u"localhost") host.clear();
    if (!host.empty() && !kWindowsPaths) return noFile(u"it is an address on another computer (" + host + u").");
    if (!rest.starts_with(u"/")) return noFile(u"the address names no file.");
    if (rest.find_first_of(u"?#") != std::u16string::npos)
        return noFile(u"the address holds a query or a fragment (\"?\" or \"#\"), which no file name has.");
    const std::optional<std::string> bytes = percentDecoded(rest);
    if (!bytes) return noFile(u"the address holds a \"%\" that is not followed by two hexadecimal digits.");
    if (bytes->find('\0') != std::string::npos) return noFile(u"the address holds a NUL character, which no file name has.");
    if (!isUtf8(*bytes)) return noFile(u"the file's name is not UTF-8, so this program cannot name it.");
    const std::u16string path = text::fromUtf8(*bytes);
    return {kWindowsPaths ? windowsPath(path, host) : path, u""};
}

}  // namespace zestrel
