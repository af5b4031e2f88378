#include "platform/number_text.h"

#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <string>

namespace zestrel::platform {

char16_t decimalSeparator() {
    const std::lconv* conventions = std::localeconv();
    const char* point = conventions && conventions->decimal_point ? conventions->decimal_point : ".";
    return static_cast<unsigned char>(point[0]) < 0x80 && point[0] ? static_cast<char16_t>(point[0]) : u'.';
}

void useUserNumberFormat() { std::setlocale(LC_NUMERIC, ""); }

std::optional<float> textToSingle(const std::u16string& text) {
    const char16_t separator = decimalSeparator();
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n && text[i] == u' ') ++i;
    std::string plain;  // the number in the form from_chars reads
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-') plain.push_back('-');
        ++i;
    }
    bool digits = false;
    bool point = false;
    for (; i < n && text[i] != u' '; ++i) {
        const char16_t c = text[i];
        if (c >= u'0' && c <= u'9') {
            plain.push_back(static_cast<char>(c));
            digits = true;
        } else if (c == separator && !point) {
            plain.push_back('.');
            point = true;
        } else {
            return std::nullopt;
        }
    }
    while (i < n && text[i] == u' ') ++i;
    if (i != n || !digits) return std::nullopt;
    double value = 0;
    const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value) || std::fabs(value) > FLT_MAX) return std::nullopt;
    return static_cast<float>(value);
}

}  // namespace zestrel::platform
