#include "store/dao/variant.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <clocale>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "store/jet/failure.h"
#include "text/digits.h"
#include "text/utf8.h"

namespace zestrel::dao {

namespace {

// The %G form of a number given by its significant digits and decimal exponent (as in
// d.ddd × 10^exponent): in full unless the exponent is below -4 or reaches `digits`.
std::string generalForm(bool negative, std::string_view mantissa, int exponent, int digits, char separator) {
    std::string out;
    if (negative) out.push_back('-');
    const int count = static_cast<int>(mantissa.size());
    if (exponent >= -4 && exponent < digits) {
        if (exponent >= 0) {
            const int whole = exponent + 1;
            out.append(mantissa.substr(0, static_cast<std::size_t>(std::min(count, whole))));
            if (count < whole) out.append(static_cast<std::size_t>(whole - count), '0');
            if (count > whole) {
                out.push_back(separator);
                out.append(mantissa.substr(static_cast<std::size_t>(whole)));
            }
        } else {
            out.push_back('0');
            out.push_back(separator);
            out.append(static_cast<std::size_t>(-exponent - 1), '0');
            out.append(mantissa);
        }
        return out;
    }
    out.push_back(mantissa[0]);
    if (count > 1) {
        out.push_back(separator);
        out.append(mantissa.substr(1));
    }
    out.push_back('E');
    out.push_back(exponent < 0 ? '-' : '+');
    const int magnitude = std::abs(exponent);
    if (magnitude < 10) out.push_back('0');
    out.append(std::to_string(magnitude));
    return out;
}

// 10^digits for the digit counts numbers are shown with.
double powerOfTen(int digits) {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9,
                                         1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16, 1e17};
    return digits >= 0 && digits < 18 ? kPowers[digits] : std::pow(10.0, digits);
}

// A number between 10^-4 and 10^digits whose shortest round-trip form has at most `digits`
// significant digits (an amount such as 1.5 or 0.25): that form in full, as %G writes it, with
// the user's decimal separator. Nothing for any other number.
std::optional<std::string> shortDecimalForm(double value, int digits) {
    const double magnitude = std::fabs(value);
    if (!(magnitude >= 1e-4 && magnitude < powerOfTen(digits))) return std::nullopt;
    const char* separator = std::localeconv()->decimal_point;
    if (separator[0] == '\0' || separator[1] != '\0') return std::nullopt;
    char text[64];
    const auto end = digits <= 7
                         ? std::to_chars(text, text + sizeof text, static_cast<float>(value), std::chars_format::fixed)
                         : std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    std::string form(text, end.ptr);
    int significant = 0;
    for (char& c : form) {
        if (c == '.') c = separator[0];
        else if (c >= '0' && c <= '9' && (significant > 0 || c != '0')) ++significant;
    }
    if (significant > digits) return std::nullopt;
    return form;
}

}  // namespace

std::string formatNumber(double value, int digits) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
    // A whole number with fewer digits than the type shows is written in full, as %G would.
    if (std::fabs(value) < powerOfTen(digits) && value == std::trunc(value) && !(value == 0 && std::signbit(value))) {
        return std::string(text::Digits(static_cast<std::int64_t>(value)).view());
    }
    if (auto form = shortDecimalForm(value, digits)) return std::move(*form);
    // The fewest significant digits (up to `digits`) that give back the value as the type it
    // came from: the shortest round-trip form gives them, and the exponent.
    char shortest[64];
    const auto end = digits <= 7
                         ? std::to_chars(shortest, shortest + sizeof shortest, static_cast<float>(value),
                                         std::chars_format::scientific)
                         : std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::scientific);
    const std::string_view form(shortest, static_cast<std::size_t>(end.ptr - shortest));
    const std::size_t e = form.find('e');
    const bool negative = form.front() == '-';
    std::string mantissa;
    for (char c : form.substr(0, e))
        if (c >= '0' && c <= '9') mantissa.push_back(c);
    int exponent = 0;
    std::from_chars(form.data() + e + 1 + (form[e + 1] == '+'), form.data() + form.size(), exponent);
    const char* separator = std::localeconv()->decimal_point;
    const int significant = static_cast<int>(mantissa.size());
    if (significant <= digits && separator[0] != '\0' && separator[1] == '\0')
        return generalForm(negative, mantissa, exponent, digits, separator[0]);
    // More digits than the type shows (rounded), or a separator of several bytes: the C library
    // rounds and writes it, in full unless the exponent is below -4 or reaches `digits`.
    int precision = std::clamp(significant, 1, digits);
    if (exponent >= -4 && exponent < digits) precision = std::max(precision, exponent + 1);
    char text[64];
    std::snprintf(text, sizeof text, "%.*G", precision, value);
    return text;
}

namespace {

std::u16string wholeNumberText(std::int64_t value) {
    const text::Digits digits(value);
    return std::u16string(digits.begin(), digits.end());
}

// Number forms are ASCII unless the user's decimal separator is not.
std::u16string asciiOrUtf8(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return text::fromUtf8(text);
    return std::u16string(text.begin(), text.end());
}

// A decimal's value, read from its text with "." whatever the user's number format is.
double decimalValue(const jet::Decimal& decimal) {
    const std::string text = jet::formatDecimal(decimal);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

// The kinds after Empty are the stored alternatives, in the same order.
static_assert(std::variant_size_v<jet::Value> == static_cast<std::size_t>(Variant::Kind::Decimal));
static_assert(std::is_same_v<std::variant_alternative_t<static_cast<std::size_t>(Variant::Kind::Text) - 1, jet::Value>,
                             std::u16string>);
static_assert(std::is_same_v<std::variant_alternative_t<static_cast<std::size_t>(Variant::Kind::Date) - 1, jet::Value>,
                             jet::DateTime>);

bool Variant::isNumeric() const {
    switch (kind()) {
    case Kind::Boolean: case Kind::Byte: case Kind::Integer: case Kind::Long: case Kind::Currency:
    case Kind::Single: case Kind::Double: case Kind::Decimal: return true;
    default: return false;
    }
}

std::u16string Variant::toText() && {
    if (auto* s = std::get_if<std::u16string>(&value_); s && !empty_) return std::move(*s);
    return toText();
}

std::u16string Variant::toText() const& {
    if (empty_) return u"";
    if (jet::isNull(value_)) throw Failure(failure::runtime::kInvalidUseOfNull, "Invalid use of Null.");
    if (auto* s = std::get_if<std::u16string>(&value_)) return *s;
    // Whole numbers are written straight as characters: the copy turns one into text on most rows.
    if (auto* v = std::get_if<std::int32_t>(&value_)) return wholeNumberText(*v);
    if (auto* v = std::get_if<std::int16_t>(&value_)) return wholeNumberText(*v);
    if (auto* v = std::get_if<std::uint8_t>(&value_)) return wholeNumberText(*v);
    const std::string text = std::visit(
        jet::Overloaded{
            [](const jet::Null&) { return std::string(); },
            [](bool v) { return std::string(v ? "True" : "False"); },
            [](std::uint8_t v) { return std::string(text::Digits(v).view()); },
            [](std::int16_t v) { return std::string(text::Digits(v).view()); },
            [](std::int32_t v) { return std::string(text::Digits(v).view()); },
            [](const jet::Currency& v) { return jet::formatCurrency(v); },
            [](float v) { return formatNumber(v, 7); },
            [](double v) { return formatNumber(v, 15); },
            [](const jet::DateTime& v) { return jet::formatDateTime(v); },
            [](const std::u16string& v) { return text::toUtf8(v); },
            [](const jet::Bytes& v) { return std::string(v.begin(), v.end()); },
            [](const jet::Guid& v) { return jet::formatGuid(v); },
            [](const jet::Decimal& v) { return jet::formatDecimal(v); },
        },
        value_);
    return asciiOrUtf8(text);
}

double Variant::toDouble() const {
    return std::visit(jet::Overloaded{
                          [](bool v) { return v ? -1.0 : 0.0; },
                          [](std::uint8_t v) { return static_cast<double>(v); },
                          [](std::int16_t v) { return static_cast<double>(v); },
                          [](std::int32_t v) { return static_cast<double>(v); },
                          [](const jet::Currency& v) { return static_cast<double>(v.tenThousandths) / 10000.0; },
                          [](float v) { return static_cast<double>(v); },
                          [](double v) { return v; },
                          [](const jet::DateTime& v) { return v.days; },
                          [](const jet::Decimal& v) { return decimalValue(v); },
                          [](const auto&) -> double {
                              throw Failure(failure::kConversionError, "Data type conversion error.");
                          },
                      },
                      value_);
}

}  // namespace zestrel::dao
