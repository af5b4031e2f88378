// The value type of every column read or written through the data-access
// objects: one of the stored kinds, or Empty (no value at all), which is
// distinct from Null. Empty is stored as Null.
#pragma once

#include <cstdint>
#include <string>

#include "store/jet/value.h"

namespace zestrel::dao {

class Variant {
public:
    enum class Kind { Empty, Null, Boolean, Byte, Integer, Long, Currency, Single, Double, Date, Text, Binary, Guid, Decimal };

    Variant() = default;  // Empty
    Variant(jet::Value&& value) : value_(std::move(value)), empty_(false) {}
    Variant(const jet::Value& value) : value_(value), empty_(false) {}
    // Each kind is constructed where it is kept: values pass through a Variant on every row.
    Variant(bool v) : value_(std::in_place_type<bool>, v), empty_(false) {}
    Variant(std::uint8_t v) : value_(std::in_place_type<std::uint8_t>, v), empty_(false) {}
    Variant(std::int16_t v) : value_(std::in_place_type<std::int16_t>, v), empty_(false) {}
    Variant(std::int32_t v) : value_(std::in_place_type<std::int32_t>, v), empty_(false) {}
    Variant(float v) : value_(std::in_place_type<float>, v), empty_(false) {}
    Variant(double v) : value_(std::in_place_type<double>, v), empty_(false) {}
    Variant(jet::Currency v) : value_(std::in_place_type<jet::Currency>, v), empty_(false) {}
    Variant(jet::DateTime v) : value_(std::in_place_type<jet::DateTime>, v), empty_(false) {}
    Variant(std::u16string&& v) : value_(std::in_place_type<std::u16string>, std::move(v)), empty_(false) {}
    Variant(const std::u16string& v) : value_(std::in_place_type<std::u16string>, v), empty_(false) {}
    Variant(const char16_t* v) : value_(std::in_place_type<std::u16string>, v), empty_(false) {}
    Variant(jet::Bytes&& v) : value_(std::in_place_type<jet::Bytes>, std::move(v)), empty_(false) {}
    Variant(const jet::Bytes& v) : value_(std::in_place_type<jet::Bytes>, v), empty_(false) {}
    static Variant null() { return Variant(jet::Value(jet::Null{})); }

    // The kinds after Empty follow the stored alternatives in order (checked where Variant is defined).
    Kind kind() const { return empty_ ? Kind::Empty : static_cast<Kind>(value_.index() + 1); }
    bool isEmpty() const { return empty_; }
    bool isNull() const { return !empty_ && jet::isNull(value_); }
    bool isNumeric() const;

    // The stored value; Empty gives Null.
    const jet::Value& value() const { return value_; }

    // The text form, as the system converts a value to text: Booleans "True"/"False",
    // Single with up to 7 significant digits, Double up to 15, dates as
    // "YYYY-MM-DDTHH:MM:SS". Empty gives ""; Null cannot be converted (Failure 94).
    std::u16string toText() const&;
    // The same, taking a text value's characters instead of copying them.
    std::u16string toText() &&;
    // The numeric value of a numeric kind (Boolean counts -1 and 0); Failure 3421 otherwise.
    double toDouble() const;

    bool operator==(const Variant& other) const = default;

private:
    jet::Value value_ = jet::Null{};
    bool empty_ = true;
};

// Shortest text that reads back as the same number, with at most `digits` significant digits.
std::string formatNumber(double value, int digits);

}  // namespace zestrel::dao
