#include "store/jet/value.h"

#include <cmath>
#include <cstdio>

namespace zestrel::jet {

namespace {

constexpr std::int64_t kDaysFrom1970To1899_12_30 = -25569;

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

}  // namespace

std::string formatDateTime(DateTime value) {
    double v = value.days;
    if (!std::isfinite(v) || std::fabs(v) > 3.0e6) return "invalid date";
    // The whole part counts days (towards zero); the fraction is the time of day, also for dates before 1899-12-30.
    auto day = static_cast<std::int64_t>(v);
    auto seconds = static_cast<std::int64_t>(std::fabs(v - static_cast<double>(day)) * 86400.0 + 0.5);
    if (seconds >= 86400) {
        seconds -= 86400;
        day += v < 0 ? -1 : 1;
    }
    std::int64_t y = 0;
    unsigned m = 0;
    unsigned d = 0;
    civilFromDays(day + kDaysFrom1970To1899_12_30, y, m, d);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02lld:%02lld:%02lld", static_cast<long long>(y), m, d,
                  static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
                  static_cast<long long>(seconds % 60));
    return text;
}

DateTime makeDateTime(int year, unsigned month, unsigned day, int hour, int minute, int second) {
    const auto days = static_cast<double>(daysFromCivil(year, month, day) - kDaysFrom1970To1899_12_30);
    const double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    return {days >= 0 ? days + fraction : days - fraction};
}

std::string formatGuid(const Guid& g) {
    const auto& b = g.bytes;
    char text[40];
    std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b[3],
                  b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
    return text;
}

std::string formatDecimal(const Decimal& value) {
    // Long division of the 128-bit magnitude by ten, one digit at a time.
    auto words = value.words;
    std::string digits;
    auto isZero = [&] { return words[0] == 0 && words[1] == 0 && words[2] == 0 && words[3] == 0; };
    while (!isZero()) {
        std::uint64_t remainder = 0;
        for (auto& w : words) {
            const std::uint64_t current = (remainder << 32) | w;
            w = static_cast<std::uint32_t>(current / 10);
            remainder = current % 10;
        }
        digits.insert(digits.begin(), static_cast<char>('0' + remainder));
    }
    const bool zero = digits.empty();
    while (digits.size() <= value.scale) digits.insert(digits.begin(), '0');
    if (value.scale > 0) digits.insert(digits.end() - value.scale, '.');
    return (value.negative && !zero ? "-" : "") + digits;
}

std::string formatCurrency(Currency value) {
    const bool negative = value.tenThousandths < 0;
    const std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(value.tenThousandths)
                                             : static_cast<std::uint64_t>(value.tenThousandths);
    std::string text = std::to_string(magnitude / 10000);
    std::uint64_t fraction = magnitude % 10000;
    if (fraction != 0) {
        char part[8];
        std::snprintf(part, sizeof part, ".%04llu", static_cast<unsigned long long>(fraction));
        std::string f = part;
        while (f.back() == '0') f.pop_back();
        text += f;
    }
    return negative ? "-" + text : text;
}

std::vector<const Value*> addressesOf(const std::vector<Value>& values) {
    std::vector<const Value*> addresses;
    addresses.reserve(values.size());
    for (const auto& value : values) addresses.push_back(&value);
    return addresses;
}

}  // namespace zestrel::jet
