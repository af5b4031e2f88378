#include "cli/json_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "text/digits.h"
#include "text/utf8.h"

namespace zestrel::cli {

namespace {

template <typename T>
std::string shortestNumber(T value) {
    if (std::isnan(value)) return "\"NaN\"";
    if (std::isinf(value)) return value < 0 ? "\"-Infinity\"" : "\"Infinity\"";
    char text[64];
    auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// Standard base64 with padding, inside the object mdb-json writes for binary values.
std::string binary(const jet::Bytes& bytes) {
    static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out = "{\"$binary\":\"";
    out.reserve(out.size() + (bytes.size() + 2) / 3 * 4 + 2);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned triple = (unsigned{bytes[i]} << 16) | (unsigned{bytes[i + 1]} << 8) | bytes[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6) out.push_back(alphabet[(triple >> shift) & 0x3F]);
    }
    if (const std::size_t rest = bytes.size() - i; rest > 0) {
        const unsigned triple = (unsigned{bytes[i]} << 16) | (rest == 2 ? unsigned{bytes[i + 1]} << 8 : 0u);
        out.push_back(alphabet[(triple >> 18) & 0x3F]);
        out.push_back(alphabet[(triple >> 12) & 0x3F]);
        out.push_back(rest == 2 ? alphabet[(triple >> 6) & 0x3F] : '=');
        out.push_back('=');
    }
    return out + "\"}";
}

}  // namespace

std::string jsonString(const std::string& utf8) {
    std::string out = "\"";
    for (char ch : utf8) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out.push_back(ch);
            }
        }
    }
    return out + "\"";
}

void appendJsonText(std::string& out, const std::u16string& text) {
    const bool plain = std::all_of(text.begin(), text.end(), [](char16_t c) {
        return c >= 0x20 && c < 0x80 && c != u'"' && c != u'\\';
    });
    if (!plain) {
        out += jsonString(text::toUtf8(text));
        return;
    }
    out.push_back('"');
    for (char16_t c : text) out.push_back(static_cast<char>(c));
    out.push_back('"');
}

void appendJsonValue(std::string& out, const jet::Value& value) {
    std::visit(jet::Overloaded{
                   [&](const jet::Null&) { out += "null"; },
                   [&](bool v) { out += v ? "true" : "false"; },
                   [&](std::uint8_t v) { text::appendDigits(out, v); },
                   [&](std::int16_t v) { text::appendDigits(out, v); },
                   [&](std::int32_t v) { text::appendDigits(out, v); },
                   [&](const std::u16string& v) { appendJsonText(out, v); },
                   [&](const auto&) { out += jsonValue(value); },
               },
               value);
}

std::string jsonValue(const jet::Value& value) {
    return std::visit(jet::Overloaded{
                          [](const jet::Null&) { return std::string("null"); },
                          [](bool v) { return std::string(v ? "true" : "false"); },
                          [](std::uint8_t v) { return std::string(text::Digits(v).view()); },
                          [](std::int16_t v) { return std::string(text::Digits(v).view()); },
                          [](std::int32_t v) { return std::string(text::Digits(v).view()); },
                          [](const jet::Currency& v) { return jet::formatCurrency(v); },
                          [](float v) { return shortestNumber(v); },
                          [](double v) { return shortestNumber(v); },
                          [](const jet::DateTime& v) { return jsonString(jet::formatDateTime(v)); },
                          [](const std::u16string& v) { return jsonString(text::toUtf8(v)); },
                          [](const jet::Bytes& v) { return binary(v); },
                          [](const jet::Guid& v) { return jsonString(jet::formatGuid(v)); },
                          [](const jet::Decimal& v) { return jet::formatDecimal(v); },
                      },
                      value);
}

}  // namespace zestrel::cli
