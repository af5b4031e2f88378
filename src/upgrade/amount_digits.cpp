#include "upgrade/amount_digits.h"

#include <optional>
#include <vector>

#include "platform/number_text.h"
#include "store/dao/variant.h"

namespace zestrel::upgrade {

namespace {

// A decimal number exactly as written: its significant digits and the power of ten of the last.
struct Decimal {
    bool negative = false;
    std::u16string digits;  // no leading or trailing zeros; empty for zero
    long exponent = 0;
    bool operator==(const Decimal&) const = default;
};

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

void skipBlanks(const std::u16string& text, std::size_t& at) {
    while (at < text.size() && text[at] == u' ') ++at;
}

// Blanks, a sign, digits with at most one decimal separator, an exponent ("E+07"), blanks.
std::optional<Decimal> decimalOf(const std::u16string& text) {
    Decimal d;
    std::size_t at = 0;
    skipBlanks(text, at);
    if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) d.negative = text[at++] == u'-';
    bool anyDigit = false, afterSeparator = false;
    for (; at < text.size(); ++at) {
        const char16_t c = text[at];
        if (isDigit(c)) {
            anyDigit = true;
            if (!d.digits.empty() || c != u'0') d.digits += c;
            if (afterSeparator) --d.exponent;
        } else if (c == platform::decimalSeparator() && !afterSeparator) {
            afterSeparator = true;
        } else {
            break;
        }
    }
    if (!anyDigit) return std::nullopt;
    if (at < text.size() && (text[at] == u'E' || text[at] == u'e')) {
        ++at;
        const bool minus = at < text.size() && text[at] == u'-';
        if (at < text.size() && (text[at] == u'-' || text[at] == u'+')) ++at;
        long power = 0;
        if (at >= text.size() || !isDigit(text[at])) return std::nullopt;
        for (; at < text.size() && isDigit(text[at]) && power < 100000; ++at) power = power * 10 + (text[at] - u'0');
        d.exponent += minus ? -power : power;
    }
    skipBlanks(text, at);
    if (at != text.size()) return std::nullopt;
    while (!d.digits.empty() && d.digits.back() == u'0') {
        d.digits.pop_back();
        ++d.exponent;
    }
    if (d.digits.empty()) return Decimal{};  // zero, whatever its sign
    return d;
}

bool sameNumber(const std::u16string& written, const std::u16string& stored) {
    const auto a = decimalOf(written);
    const auto b = decimalOf(stored);
    return a && b && *a == *b;
}

// A number the text wrote, as a single-precision number stores it in a text column.
bool partKept(const std::u16string& part) {
    const auto value = platform::textToSingle(part);
    return value && sameNumber(part, dao::Variant(*value).toText());
}

// The numbers a fraction or mixed number writes, split as ParseQuantity splits it.
std::vector<std::u16string> writtenParts(const std::u16string& amount) {
    const auto blank = amount.find(u' ');
    const auto slash = amount.find(u'/');
    if (blank == std::u16string::npos || blank > slash)
        return {amount.substr(0, slash), amount.substr(slash + 1)};
    const std::u16string fraction = amount.substr(blank + 1);
    const auto fractionSlash = fraction.find(u'/');
    return {amount.substr(0, blank), fraction.substr(0, fractionSlash), fraction.substr(fractionSlash + 1)};
}

}  // namespace

bool keepsWrittenDigits(const std::u16string& amount, const std::u16string& stored) {
    if (amount.find(u'/') == std::u16string::npos) return sameNumber(amount, stored);
    for (const auto& part : writtenParts(amount))
        if (!partKept(part)) return false;
    return true;
}

}  // namespace zestrel::upgrade
