// A column value as the engine reads and writes it, one alternative per
// stored kind, with the text forms the program shows for dates, GUIDs and
// scaled decimals.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace zestrel::jet {

struct Null {
    bool operator==(const Null&) const = default;
};
// Currency is a 64-bit count of ten-thousandths.
struct Currency {
    std::int64_t tenThousandths = 0;
    bool operator==(const Currency&) const = default;
};
// Days since 1899-12-30; the fraction is the time of day.
struct DateTime {
    double days = 0;
    bool operator==(const DateTime&) const = default;
};
struct Guid {
    std::array<std::uint8_t, 16> bytes{};
    bool operator==(const Guid&) const = default;
};
// Jet 4's scaled decimal: a sign and a 128-bit magnitude with a scale.
struct Decimal {
    bool negative = false;
    std::array<std::uint32_t, 4> words{};  // most significant first
    std::uint8_t precision = 18;
    std::uint8_t scale = 0;
    bool operator==(const Decimal&) const = default;
};
using Bytes = std::vector<std::uint8_t>;

using Value = std::variant<Null, bool, std::uint8_t, std::int16_t, std::int32_t, Currency, float, double, DateTime,
                           std::u16string, Bytes, Guid, Decimal>;

inline bool isNull(const Value& v) { return std::holds_alternative<Null>(v); }

// The values of one row by column position, each where its owner keeps it: a row is written
// from its values without moving them. A Text or Memo column's value may also be given as the
// text's stored bytes (Bytes, in the code page): it is then written as it is, with no encoding.
using RowValues = std::span<const Value* const>;
// The addresses of `values`, for writing them as a row.
std::vector<const Value*> addressesOf(const std::vector<Value>& values);

// Lambdas for each alternative, as one visitor: std::visit(Overloaded{...}, value).
template <class... Ts>
struct Overloaded : Ts... {
    using Ts::operator()...;
};
template <class... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

// "YYYY-MM-DDTHH:MM:SS", to the nearest second.
std::string formatDateTime(DateTime value);
// The serial day number of a civil date and time.
DateTime makeDateTime(int year, unsigned month, unsigned day, int hour = 0, int minute = 0, int second = 0);
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.
std::string formatGuid(const Guid& value);
// The decimal digits with the scale's decimal point, e.g. "-12.50".
std::string formatDecimal(const Decimal& value);
// The exact decimal text of a currency amount, e.g. "3.5".
std::string formatCurrency(Currency value);

}  // namespace zestrel::jet
