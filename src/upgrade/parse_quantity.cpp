#include "upgrade/parse_quantity.h"

#include <cfloat>
#include <cmath>
#include <optional>

#include "platform/number_text.h"

namespace zestrel::dbFunction {

namespace {

// Each step gives no value when it cannot be carried out; the amount then comes back as text.
// (Amounts that are not numbers are common, so this path must be as cheap as the other.)
using Step = std::optional<float>;

Step number(const std::u16string& text) { return platform::textToSingle(text); }

Step single(double value) {
    if (!std::isfinite(value) || std::fabs(value) > FLT_MAX) return std::nullopt;
    return static_cast<float>(value);
}

Step fraction(const std::u16string& numerator, const std::u16string& denominator) {
    const Step n = number(numerator);
    const Step d = number(denominator);
    if (!n || !d || *d == 0.0f) return std::nullopt;
    return single(static_cast<double>(*n) / static_cast<double>(*d));
}

Step evaluate(const std::u16string& s) {
    const auto slash = s.find(u'/');
    const auto blank = s.find(u' ');
    if (slash == std::u16string::npos) return number(s);  // a blank alone: a number with blanks around it, or text
    if (blank == std::u16string::npos) return fraction(s.substr(0, slash), s.substr(slash + 1));
    // Mixed number: the whole part before the first blank, the fraction after it.
    const std::u16string whole = s.substr(0, blank);
    const std::u16string rest = s.substr(blank + 1);
    const auto restSlash = rest.find(u'/');
    if (restSlash == std::u16string::npos) return std::nullopt;  // the slash lies before the first blank
    const Step part = fraction(rest.substr(0, restSlash), rest.substr(restSlash + 1));
    const Step wholeNumber = number(whole);
    if (!part || !wholeNumber) return std::nullopt;
    // The whole part's sign is the sign of the whole amount: "-1 1/2" is -1.5, as it is read.
    // "-0 1/2" keeps its minus too.
    const double signedPart = std::signbit(*wholeNumber) ? -static_cast<double>(*part) : static_cast<double>(*part);
    return single(static_cast<double>(*wholeNumber) + signedPart);
}

}  // namespace

dao::Variant ParseQuantity(const std::u16string& s) {
    if (s.empty() || s.find(u'*') != std::u16string::npos) return dao::Variant(u"");
    if (const Step value = evaluate(s)) return dao::Variant(*value);
    return dao::Variant(s);
}

}  // namespace zestrel::dbFunction
