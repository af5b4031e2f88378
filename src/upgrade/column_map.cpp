#include "upgrade/column_map.h"

#include <limits>

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

ColumnWriter::ColumnWriter(const ColumnMap& map, Layout layout, dao::Recordset& source, dao::Recordset& target)
    : source_(source), target_(target) {
    columns_.reserve(map.size());
    for (const auto& mapping : map)
        columns_.push_back(
            {&mapping, layout == Layout::V10 ? &mapping.fromLayout10 : &mapping.fromLayout11, nullptr, std::nullopt});
}

// The value one rule gives for the source's current row.
dao::Variant ColumnWriter::valueFor(Column& column) {
    using Kind = ColumnRule::Kind;
    const ColumnRule& rule = *column.rule;
    if (rule.kind == Kind::EmptyText) return dao::Variant(u"");
    if (rule.kind == Kind::Zero) return dao::Variant(static_cast<std::int16_t>(0));
    if (!column.source) column.source = &source_.Fields(rule.source);
    dao::Variant value = column.source->Value();
    switch (rule.kind) {
    case Kind::AsIs: return value;
    case Kind::FirstChars: {
        if (value.isNull()) return value;
        const auto* text = std::get_if<std::u16string>(&value.value());
        if (text && text->size() <= static_cast<std::size_t>(rule.length)) return value;  // most are short enough
        std::u16string cut = std::move(value).toText();
        if (cut.size() > static_cast<std::size_t>(rule.length)) cut.resize(static_cast<std::size_t>(rule.length));
        return dao::Variant(std::move(cut));
    }
    case Kind::ParsedAmount: return parsedAmount(value, rule.length);
    default: return {};
    }
}

// A text copied unchanged or cut to its first characters, when it is short enough already, goes
// over as it is stored: the copy of most columns of most rows then decodes and encodes nothing.
bool ColumnWriter::copiedAsStored(Column& column) {
    using Kind = ColumnRule::Kind;
    const ColumnRule& rule = *column.rule;
    if (rule.kind != Kind::AsIs && rule.kind != Kind::FirstChars) return false;
    if (!column.source) column.source = &source_.Fields(rule.source);
    if (!column.target) column.target.emplace(target_.Collect(column.mapping->target));
    const std::size_t most = rule.kind == Kind::FirstChars ? static_cast<std::size_t>(rule.length)
                                                           : std::numeric_limits<std::size_t>::max();
    return column.target->takeStoredText(*column.source, most);
}

void ColumnWriter::writeColumns() {
    for (auto& column : columns_) {
        if (copiedAsStored(column)) continue;
        dao::Variant value = valueFor(column);
        if (!column.target) column.target.emplace(target_.Collect(column.mapping->target));
        *column.target = std::move(value);
    }
}

}  // namespace zestrel::upgrade
