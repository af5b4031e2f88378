#include "platform/number_text.h"

#include <cfloat>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <string>

namespace zestrel::platform {

char16_t decimalSeparator() {
    const std::lconv* conventions = std::localeconv();
    const char* point = conventions && conventions->decimal_point ? conventions->decimal_point : ".";
    return static_cast<unsigned char>(point[0]) < 0x80 && point[0] ? static_cast<char16_t>(point[0]) : u'.';
}

void useUserNumberFormat() { std::setlocale(LC_NUMERIC, ""); }

namespace {

// The number a short decimal stands for, as a double: its digits (fifteen at most, so they are
// exact) divided by the power of ten its decimals make, which the division rounds correctly, as
// reading the text would. Nothing for a longer one.
std::optional<double> shortDecimal(const std::string& plain) {
    std::uint64_t digits = 0;
    int count = 0;
    int decimals = -1;
    for (const char c : plain) {
        if (c == '-') continue;
        if (c == '.') {
            decimals = 0;
            continue;
        }
        if (++count > 15) return std::nullopt;
        digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
        if (decimals >= 0) ++decimals;
    }
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double value = static_cast<double>(digits) / kPowers[decimals > 0 ? decimals : 0];
    return plain.front() == '-' ? -value : value;
}

}  // namespace

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
    if (const auto decimal = shortDecimal(plain)) {
        value = *decimal;
    } else {
        const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), value);
        if (result.ec != std::errc()) return std::nullopt;
    }
    if (!std::isfinite(value) || std::fabs(value) > FLT_MAX) return std::nullopt;
    return static_cast<float>(value);
}

}  // namespace zestrel::platform
