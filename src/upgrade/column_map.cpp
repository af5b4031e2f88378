#include "upgrade/column_map.h"

#include <algorithm>
#include <limits>

#include "store/dao/db_engine.h"
#include "store/jet/failure.h"
#include "text/code_page.h"
#include "upgrade/parse_quantity.h"

namespace zestrel::upgrade {

namespace {

constexpr std::size_t kNoCut = std::numeric_limits<std::size_t>::max();

bool isTextType(int type) { return type == dao::type::dbText || type == dao::type::dbMemo; }

// Each character `text` holds that `stored` keeps otherwise, with what it became, in the order
// first met; a surrogate pair is one character, stored as one.
std::vector<ValueChange::Replacement> replacementsIn(const std::u16string& text, const std::u16string& stored) {
    std::vector<ValueChange::Replacement> replaced;
    for (std::size_t from = 0, to = 0; from < text.size() && to < stored.size(); ++to) {
        const std::size_t units = text::isPairStart(text, from) ? 2 : 1;
        std::u16string character = text.substr(from, units);
        from += units;
        if (units == 1 && character[0] == stored[to]) continue;
        auto same = std::find_if(replaced.begin(), replaced.end(), [&](const auto& r) { return r.character == character; });
        if (same != replaced.end()) ++same->times;
        else replaced.push_back({std::move(character), stored[to], 1});
    }
    return replaced;
}

}  // namespace

ColumnWriter::ColumnWriter(const ColumnMap& map, Layout layout, dao::Recordset& source, dao::Recordset& target,
                           const char16_t* targetTable, ValueChanges& changes)
    : source_(source), target_(target), targetTable_(targetTable), changes_(changes) {
    columns_.reserve(map.size());
    for (const auto& mapping : map)
        columns_.push_back(
            {&mapping, layout == Layout::V10 ? &mapping.fromLayout10 : &mapping.fromLayout11, nullptr, std::nullopt, {}});
}

std::u16string ColumnWriter::currentRid() {
    try {
        if (!rid_) rid_ = &source_.Fields(u"rID");
        const dao::Variant rid = rid_->Value();
        return rid.isNull() ? std::u16string(u"Null") : u"\"" + rid.toText() + u"\"";
    } catch (const Failure&) {
        return u"unknown";
    }
}

ValueChange ColumnWriter::changeOf(const Column& column) {
    ValueChange change;
    change.table = targetTable_;
    change.column = column.mapping->target;
    change.rid = currentRid();
    return change;
}

bool ColumnWriter::targetIsText(Column& column) {
    if (!column.targetIsText) column.targetIsText = isTextType(target_.Fields(column.mapping->target).Type());
    return *column.targetIsText;
}

std::u16string ColumnWriter::fitted(const Column& column, std::u16string text, std::size_t length) {
    const text::CodePage& page = text::westernEuropean();
    const bool holds = page.holds(text);
    if (holds && text.size() <= length) return text;  // nearly every value
    ValueChange change = changeOf(column);
    if (!holds) {
        std::u16string stored = page.stored(text);
        change.replaced = replacementsIn(text, stored);
        text = std::move(stored);
    }
    if (text.size() > length) {
        change.cut = true;
        change.kept = length;
        change.length = text.size();
        change.cutOff = text.substr(length);
        text.resize(length);
    }
    changes_.add(change);
    return text;
}

// An ingredient without an amount ("salt, to taste") keeps a Null amount. A number keeps its
// value; an amount marked with "*" is emptied, which the list of changes says; any other amount is
// kept as text, cut to the column's length like every other text the copy carries.
dao::Variant ColumnWriter::amountFor(Column& column, const dao::Variant& amount) {
    if (amount.isNull()) return amount;
    const std::u16string text = amount.toText();
    if (auto number = numberAmount(column, text)) return std::move(*number);
    std::u16string kept = dbFunction::ParseQuantity(text).toText();
    if (kept.empty() && !text.empty()) {
        ValueChange change = changeOf(column);
        change.amountEmptied = true;
        change.amount = text;
        changes_.add(change);
        return dao::Variant(std::move(kept));
    }
    return dao::Variant(fitted(column, std::move(kept), static_cast<std::size_t>(column.rule->length)));
}

std::optional<dao::Variant> ColumnWriter::numberAmount(Column& column, const std::u16string& text) {
    constexpr std::size_t kAmountsRemembered = 4096;
    if (const auto found = numberAmounts_.find(text); found != numberAmounts_.end()) return found->second;
    dao::Variant parsed = dbFunction::ParseQuantity(text);
    std::optional<dao::Variant> number;
    if (parsed.kind() != dao::Variant::Kind::Text)
        number = targetIsText(column) ? dao::Variant(parsed.toText()) : std::move(parsed);
    if (numberAmounts_.size() < kAmountsRemembered) numberAmounts_.emplace(text, number);
    return number;
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
    case Kind::AsIs:
        if (value.kind() != dao::Variant::Kind::Text || !targetIsText(column)) return value;
        return dao::Variant(fitted(column, std::move(value).toText(), kNoCut));
    case Kind::FirstChars:
        if (value.isNull()) return value;
        return dao::Variant(fitted(column, std::move(value).toText(), static_cast<std::size_t>(rule.length)));
    case Kind::ParsedAmount: return amountFor(column, value);
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
    const std::size_t most = rule.kind == Kind::FirstChars ? static_cast<std::size_t>(rule.length) : kNoCut;
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
