#include "store/dao/variant.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "store/jet/failure.h"
#include "store/jet/text_codec.h"

namespace zestrel::dao {

namespace {
constexpr std::int32_t kInvalidUseOfNull = 94;

}  // namespace

std::string formatNumber(double value, int digits) {
    if (std::isnan(value)) return "NaN";
    if (std::isinf(value)) return value < 0 ? "-Infinity" : "Infinity";
    // The fewest significant digits (up to `digits`) that give back the value as the type it
    // came from: the shortest round-trip form tells how many that is, and its exponent.
    char shortest[64];
    const auto end = digits <= 7 ? std::to_chars(shortest, shortest + sizeof shortest, static_cast<float>(value),
                                                 std::chars_format::scientific)
                                 : std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::scientific);
    int significant = 0;
    const char* p = shortest;
    for (; p != end.ptr && *p != 'e'; ++p) significant += (*p >= '0' && *p <= '9');
    int exponent = 0;
    if (p != end.ptr) std::from_chars(p + 1 + (p[1] == '+'), end.ptr, exponent);
    // Written out in full (100, 1500, 0.0001) unless the exponent is below -4 or reaches the
    // type's digits (1E-05, 1.234568E+07): a whole number needs as many digits as it has.
    int precision = std::clamp(significant, 1, digits);
    if (exponent >= -4 && exponent < digits) precision = std::max(precision, exponent + 1);
    char text[64];
    std::snprintf(text, sizeof text, "%.*G", precision, value);
    return text;
}

namespace {

// A decimal's value, read from its text with "." whatever the user's number format is.
double decimalValue(const jet::Decimal& decimal) {
    const std::string text = jet::formatDecimal(decimal);
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

Variant::Kind Variant::kind() const {
    if (empty_) return Kind::Empty;
    return std::visit(jet::Overloaded{
                          [](const jet::Null&) { return Kind::Null; },
                          [](bool) { return Kind::Boolean; },
                          [](std::uint8_t) { return Kind::Byte; },
                          [](std::int16_t) { return Kind::Integer; },
                          [](std::int32_t) { return Kind::Long; },
                          [](const jet::Currency&) { return Kind::Currency; },
                          [](float) { return Kind::Single; },
                          [](double) { return Kind::Double; },
                          [](const jet::DateTime&) { return Kind::Date; },
                          [](const std::u16string&) { return Kind::Text; },
                          [](const jet::Bytes&) { return Kind::Binary; },
                          [](const jet::Guid&) { return Kind::Guid; },
                          [](const jet::Decimal&) { return Kind::Decimal; },
                      },
                      value_);
}

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
    if (jet::isNull(value_)) throw Failure(kInvalidUseOfNull, "Invalid use of Null.");
    if (auto* s = std::get_if<std::u16string>(&value_)) return *s;
    const std::string text = std::visit(
        jet::Overloaded{
            [](const jet::Null&) { return std::string(); },
            [](bool v) { return std::string(v ? "True" : "False"); },
            [](std::uint8_t v) { return std::to_string(v); },
            [](std::int16_t v) { return std::to_string(v); },
            [](std::int32_t v) { return std::to_string(v); },
            [](const jet::Currency& v) { return jet::formatCurrency(v); },
            [](float v) { return formatNumber(v, 7); },
            [](double v) { return formatNumber(v, 15); },
            [](const jet::DateTime& v) { return jet::formatDateTime(v); },
            [](const std::u16string& v) { return jet::toUtf8(v); },
            [](const jet::Bytes& v) { return std::string(v.begin(), v.end()); },
            [](const jet::Guid& v) { return jet::formatGuid(v); },
            [](const jet::Decimal& v) { return jet::formatDecimal(v); },
        },
        value_);
    return jet::fromUtf8(text);
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
