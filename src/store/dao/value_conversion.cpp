#include "store/dao/value_conversion.h"

#include <cfloat>
#include <charconv>
#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <optional>

#include "store/jet/failure.h"
#include "store/jet/long_value.h"
#include "store/jet/sort_key.h"
#include "text/code_page.h"
#include "text/utf8.h"

namespace zestrel::dao {

namespace {


class Converter {
public:
    Converter(const Variant& v, const jet::ColumnDefinition& c, const std::u16string& table)
        : value_(v), column_(c), table_(table) {}

    // The value itself when it already has the column's stored type and the column takes it
    // (refused as convert() would refuse it); null when it must be converted.
    const jet::Value* unchanged() const {
        using T = jet::ColumnType;
        using K = Variant::Kind;
        if (value_.isEmpty() || value_.isNull()) return column_.type == T::Boolean ? nullptr : &value_.value();
        const K kind = value_.kind();
        switch (column_.type) {
        case T::Text:
        case T::Memo:
            // A text with characters code page 1252 lacks is converted to the form it is stored in.
            if (kind != K::Text || !text::westernEuropean().holds(std::get<std::u16string>(value_.value())))
                return nullptr;
            checkText(std::get<std::u16string>(value_.value()),
                      column_.type == T::Text ? column_.size : jet::kLongValueLengthMask);
            return &value_.value();
        case T::Boolean: return kind == K::Boolean ? &value_.value() : nullptr;
        case T::Byte: return kind == K::Byte ? &value_.value() : nullptr;
        case T::Integer: return kind == K::Integer ? &value_.value() : nullptr;
        case T::Long: return kind == K::Long ? &value_.value() : nullptr;
        case T::Currency: return kind == K::Currency ? &value_.value() : nullptr;
        case T::Single: return kind == K::Single ? &value_.value() : nullptr;
        case T::Double: return kind == K::Double ? &value_.value() : nullptr;
        case T::DateTime: return kind == K::Date ? &value_.value() : nullptr;
        default: return nullptr;
        }
    }

    jet::Value convert() const {
        using T = jet::ColumnType;
        if (column_.type == T::Boolean) return value_.isEmpty() || value_.isNull() ? false : toBoolean();
        if (value_.isEmpty() || value_.isNull()) return jet::Null{};
        switch (column_.type) {
        case T::Text: return checkedText(column_.size);
        case T::Memo: return checkedText(jet::kLongValueLengthMask);
        case T::Byte: return static_cast<std::uint8_t>(toWhole(0, 255));
        case T::Integer: return static_cast<std::int16_t>(toWhole(-32768, 32767));
        case T::Long: return static_cast<std::int32_t>(toWhole(std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
        case T::Currency: return toCurrency();
        case T::Single: return toSingle();
        case T::Double: return toNumber();
        case T::DateTime: return toDate();
        case T::Binary:
        case T::OLE: return toBytes();
        case T::GUID:
            if (value_.kind() == Variant::Kind::Guid) return value_.value();
            break;
        default: break;
        }
        throw cannotConvert();
    }

private:
    Failure cannotConvert() const {
        return Failure(failure::kConversionError, "Data type conversion error: the value cannot be stored in the " +
                                                      jet::columnTypeName(column_.type) + " field " + where() + ".");
    }
    Failure overflow() const {
        return Failure(failure::kNumericOverflow, "Numeric field overflow: the value does not fit the " +
                                             jet::columnTypeName(column_.type) + " field " + where() + ".");
    }

    std::u16string toText() const {
        if (value_.kind() == Variant::Kind::Binary || value_.kind() == Variant::Kind::Guid) throw cannotConvert();
        return value_.toText();
    }

    // A text value is checked where it lies and only then copied; any other kind is converted to
    // text first. A character code page 1252 lacks becomes what Windows stores for it (its best
    // fit, or "?"), so that the text given to the engine is one byte a character.
    jet::Value checkedText(std::size_t limit) const {
        const text::CodePage& page = text::westernEuropean();
        if (value_.kind() != Variant::Kind::Text || !page.holds(std::get<std::u16string>(value_.value()))) {
            std::u16string text = page.stored(toText());
            checkText(text, limit);
            return text;
        }
        checkText(std::get<std::u16string>(value_.value()), limit);
        return value_.toText();
    }

    void checkText(const std::u16string& text, std::size_t limit) const {
        if (text.empty() && !column_.allowZeroLength)
            throw Failure(failure::kZeroLengthNotAllowed, "Field " + where() + " cannot be a zero-length string.");
        const std::size_t length = text.size();
        if (length > limit)
            throw Failure(failure::kFieldTooSmall, "The field " + where() + " is too small to accept the amount of data: " +
                                                       std::to_string(length) + " characters, it holds " +
                                                       std::to_string(limit) + ".");
    }

    std::optional<long long> integerValue() const {
        if (const auto* v = std::get_if<std::int32_t>(&value_.value()); v && !value_.isEmpty()) return *v;
        if (const auto* v = std::get_if<std::int16_t>(&value_.value()); v && !value_.isEmpty()) return *v;
        if (const auto* v = std::get_if<std::uint8_t>(&value_.value()); v && !value_.isEmpty()) return *v;
        return std::nullopt;
    }

    // A number from a numeric value or a text that is one number (blanks around it allowed).
    double toNumber() const {
        if (value_.isNumeric() || value_.kind() == Variant::Kind::Date) return value_.toDouble();
        if (value_.kind() != Variant::Kind::Text) throw cannotConvert();
        // Locale-independent: the engine's own conversion, not the user's number format.
        const std::string text = text::toUtf8(value_.toText());
        std::size_t first = text.find_first_not_of(' ');
        if (first != std::string::npos && text[first] == '+') ++first;
        const std::size_t last = text.find_last_not_of(' ');
        if (first == std::string::npos || first > last) throw cannotConvert();
        double number = 0;
        const auto [end, error] = std::from_chars(text.data() + first, text.data() + last + 1, number);
        if (error != std::errc() || end != text.data() + last + 1 || !std::isfinite(number)) throw cannotConvert();
        return number;
    }

    long long toWhole(long long low, long long high) const {
        if (const auto whole = integerValue()) {  // a whole number is taken as it is
            if (*whole < low || *whole > high) throw overflow();
            return *whole;
        }
        const double rounded = std::nearbyint(toNumber());  // halves to even, as the engine rounds
        if (!(rounded >= static_cast<double>(low) && rounded <= static_cast<double>(high))) throw overflow();
        return static_cast<long long>(rounded);
    }

    jet::Value toCurrency() const {
        if (value_.kind() == Variant::Kind::Currency) return value_.value();
        const double scaled = std::nearbyint(toNumber() * 10000.0);
        if (!(std::fabs(scaled) < 9.2e18)) throw overflow();
        return jet::Currency{static_cast<std::int64_t>(scaled)};
    }

    jet::Value toSingle() const {
        const double number = toNumber();
        if (std::fabs(number) > FLT_MAX) throw overflow();
        return static_cast<float>(number);
    }

    bool toBoolean() const {
        if (value_.kind() == Variant::Kind::Text) {
            std::u16string text = value_.toText();
            while (!text.empty() && text.back() == u' ') text.pop_back();
            while (!text.empty() && text.front() == u' ') text.erase(text.begin());
            for (const char16_t* yes : {u"yes", u"true", u"on"})
                if (jet::equalsIgnoringCase(text, yes)) return true;
            for (const char16_t* no : {u"no", u"false", u"off"})
                if (jet::equalsIgnoringCase(text, no)) return false;
        }
        return toNumber() != 0.0;
    }

    jet::Value toDate() const {
        if (value_.kind() == Variant::Kind::Date) return value_.value();
        if (value_.kind() == Variant::Kind::Text) {
            int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
            const std::string text = text::toUtf8(value_.toText());
            const int parts = std::sscanf(text.c_str(), "%d-%d-%d%*[ T]%d:%d:%d", &y, &mo, &d, &h, &mi, &s);
            if ((parts == 3 || parts >= 5) && mo >= 1 && mo <= 12 && d >= 1 && d <= 31 && h < 24 && mi < 60 && s < 60)
                return jet::makeDateTime(y, static_cast<unsigned>(mo), static_cast<unsigned>(d), h, mi, s);
            throw cannotConvert();
        }
        return jet::DateTime{toNumber()};
    }

    jet::Value toBytes() const {
        if (value_.kind() != Variant::Kind::Binary) throw cannotConvert();
        const auto& bytes = std::get<jet::Bytes>(value_.value());
        if (column_.type == jet::ColumnType::Binary && bytes.size() > column_.size)
            throw Failure(failure::kFieldTooSmall, "The field " + where() + " is too small to accept the amount of data: " +
                                                       std::to_string(bytes.size()) + " bytes, it holds " +
                                                       std::to_string(column_.size) + ".");
        return bytes;
    }

    // The column's name for a failure's description, as 'Table.Column'.
    std::string where() const { return "'" + text::toUtf8(table_) + "." + text::toUtf8(column_.name) + "'"; }

    const Variant& value_;
    const jet::ColumnDefinition& column_;
    const std::u16string& table_;
};

}  // namespace

jet::Value convertForColumn(const Variant& value, const jet::ColumnDefinition& column, const std::u16string& table) {
    return Converter(value, column, table).convert();
}

const jet::Value& storedFormFor(const Variant& value, const jet::ColumnDefinition& column, const std::u16string& table,
                                std::vector<jet::Value>& converted) {
    const Converter converter(value, column, table);
    if (const jet::Value* same = converter.unchanged()) return *same;
    return converted.emplace_back(converter.convert());
}

}  // namespace zestrel::dao
