#include "upgrade/column_map.h"

#include "upgrade/parse_quantity.h"

namespace zestrel::upgrade {

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
    case Kind::ParsedAmount:
        return dbFunction::ParseQuantity(source.Fields(rule.source).Value().toText());  // a null cannot be text
    }
    return {};
}

void writeColumns(const ColumnMap& map, Layout layout, dao::Recordset& source, dao::Recordset& target) {
    for (const auto& column : map)
        target.Collect(column.target) = valueFor(layout == Layout::V10 ? column.fromLayout10 : column.fromLayout11, source);
}

}  // namespace zestrel::upgrade
