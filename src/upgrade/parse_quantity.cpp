#include "upgrade/parse_quantity.h"

#include <cfloat>
#include <cmath>
#include <optional>

#include "platform/number_text.h"

namespace zestrel::dbFunction {

namespace {

// A step that cannot be carried out; the amount then comes back as text.
struct Unparsable {};

float number(const std::u16string& text) {
    const auto value = platform::textToSingle(text);
    if (!value) throw Unparsable{};
    return *value;
}

float single(double value) {
    if (!std::isfinite(value) || std::fabs(value) > FLT_MAX) throw Unparsable{};
    return static_cast<float>(value);
}

float fraction(const std::u16string& numerator, const std::u16string& denominator) {
    const double n = number(numerator);
    const double d = number(denominator);
    if (d == 0.0) throw Unparsable{};
    return single(n / d);
}

float evaluate(const std::u16string& s) {
    const auto slash = s.find(u'/');
    const auto blank = s.find(u' ');
    if (slash == std::u16string::npos) return number(s);  // a blank alone: a number with blanks around it, or text
    if (blank == std::u16string::npos) return fraction(s.substr(0, slash), s.substr(slash + 1));
    // Mixed number: the whole part before the first blank, the fraction after it.
    const std::u16string whole = s.substr(0, blank);
    const std::u16string rest = s.substr(blank + 1);
    const auto restSlash = rest.find(u'/');
    if (restSlash == std::u16string::npos) throw Unparsable{};  // the slash lies before the first blank
    const float part = fraction(rest.substr(0, restSlash), rest.substr(restSlash + 1));
    return single(static_cast<double>(number(whole)) + static_cast<double>(part));
}

}  // namespace

dao::Variant ParseQuantity(const std::u16string& s) {
    if (s.empty() || s.find(u'*') != std::u16string::npos) return dao::Variant(u"");
    try {
        return dao::Variant(evaluate(s));
    } catch (const Unparsable&) {
        return dao::Variant(s);
    }
}

}  // namespace zestrel::dbFunction
