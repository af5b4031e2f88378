#include "upgrade/record_text.h"

#include <charconv>
#include <cstdint>

namespace zestrel::upgrade::record {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

bool plain(unsigned char c) { return c > 0x20 && c < 0x7F && c != '%'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string escape(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (plain(byte)) {
            out += c;
            continue;
        }
        out += '%';
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0xF];
    }
    return out;
}

std::optional<std::string> unescape(std::string_view escaped) {
    std::string out;
    for (std::size_t i = 0; i < escaped.size(); ++i) {
        const auto c = static_cast<unsigned char>(escaped[i]);
        if (c != '%') {
            if (!plain(c)) return std::nullopt;
            out += escaped[i];
            continue;
        }
        if (i + 2 >= escaped.size()) return std::nullopt;
        const int high = hexValue(escaped[i + 1]);
        const int low = hexValue(escaped[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        const auto byte = static_cast<unsigned char>(high * 16 + low);
        if (plain(byte)) return std::nullopt;  // one way to write each byte
        out += static_cast<char>(byte);
        i += 2;
    }
    return out;
}

std::string write(std::string_view kind, const Fields& fields) {
    std::string out(kind);
    out += '\n';
    for (const auto& [key, value] : fields) out += key + ' ' + escape(value) + '\n';
    return out;
}

std::optional<std::vector<std::string>> read(std::string_view text, std::string_view kind,
                                             const std::vector<std::string_view>& keys) {
    std::vector<std::string_view> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) return std::nullopt;  // the last line is ended
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    if (lines.size() != keys.size() + 1 || lines[0] != kind) return std::nullopt;
    std::vector<std::string> values;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const std::string_view line = lines[i + 1];
        if (line.size() <= keys[i].size() || line.substr(0, keys[i].size()) != keys[i] || line[keys[i].size()] != ' ')
            return std::nullopt;
        auto value = unescape(line.substr(keys[i].size() + 1));
        if (!value) return std::nullopt;
        values.push_back(std::move(*value));
    }
    return values;
}

std::optional<std::uint64_t> unsignedNumber(std::string_view text) {
    std::uint64_t value = 0;
    if (text.empty() || text.size() > 20 || (text.size() > 1 && text[0] == '0')) return std::nullopt;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<std::int64_t> number(std::string_view text) {
    const bool negative = !text.empty() && text[0] == '-';
    const auto magnitude = unsignedNumber(negative ? text.substr(1) : text);
    if (!magnitude || *magnitude > static_cast<std::uint64_t>(INT64_MAX) || (negative && *magnitude == 0)) return std::nullopt;
    return negative ? -static_cast<std::int64_t>(*magnitude) : static_cast<std::int64_t>(*magnitude);
}

std::string pathBytes(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.native();
#endif
}

std::filesystem::path pathFromBytes(const std::string& bytes) {
#ifdef _WIN32
    return std::filesystem::path(std::u8string(bytes.begin(), bytes.end()));
#else
    return std::filesystem::path(bytes);
#endif
}

}  // namespace zestrel::upgrade::record
