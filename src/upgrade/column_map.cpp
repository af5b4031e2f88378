#include "upgrade/column_map.h"

#include "upgrade/parse_quantity.h"

namespace zestrel::upgrade {

namespace {

// An ingredient without an amount ("salt, to taste") keeps a Null amount. An amount with a
// blank and no slash that is not a number ("2 heaping tablespoons") is kept as text; it is cut
// to the column's length, as every other text the copy carries is.
dao::Variant parsedAmount(const dao::Variant& amount, int length) {
    if (amount.isNull()) return amount;
    const std::u16string text = amount.toText();
    dao::Variant parsed = dbFunction::ParseQuantity(text);
    const bool keptWhole = text.find(u' ') != std::u16string::npos && text.find(u'/') == std::u16string::npos;
    if (keptWhole && parsed.kind() == dao::Variant::Kind::Text)
        return dao::Variant(parsed.toText().substr(0, static_cast<std::size_t>(length)));
    return parsed;
}

}  // namespace

dao::Variant valueFor(const ColumnRule& rule, dao::Recordset& source) {
    using Kind = ColumnRule::Kind;
    switch (rule.kind) {
    case Kind::EmptyText: return dao::Variant(u"");
    case Kind::Zero: return dao::Variant(static_cast<std::int16_t>(0));
    case Kind::AsIs: return source.Fields(rule.source).Value();
    case Kind::FirstChars: {
        dao::Variant value = source.Fields(rule.source).Value();
        if (value.isNull()) return value;
        std::u16string text = std::move(value).toText();
        if (text.size() > static_cast<std::size_t>(rule.length)) text.resize(static_cast<std::size_t>(rule.length));
        return dao::Variant(std::move(text));
    }
    case Kind::ParsedAmount: return parsedAmount(source.Fields(rule.source).Value(), rule.length);
    }
    return {};
}

void writeColumns(const ColumnMap& map, Layout layout, dao::Recordset& source, dao::Recordset& target) {
    for (const auto& column : map)
        target.Collect(column.target) = valueFor(layout == Layout::V10 ? column.fromLayout10 : column.fromLayout11, source);
}

}  // namespace zestrel::upgrade
