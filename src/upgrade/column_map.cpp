#include "upgrade/column_map.h"

#include <algorithm>
#include <limits>

#include "store/dao/db_engine.h"
#include "store/jet/failure.h"
#include "text/code_page.h"
#include "text/digits.h"
#include "upgrade/amount_digits.h"
#include "upgrade/parse_quantity.h"
#include "upgrade/rid_renames.h"

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

// The bytes code page 1252 stores an amount in, which key the amounts remembered; none when the
// page lacks one of its characters.
std::optional<std::string> amountKey(const std::u16string& text) {
    const text::CodePage& page = text::westernEuropean();
    if (!page.holds(text)) return std::nullopt;
    std::string key(text.size(), '\0');
    key.resize(page.encode(text, reinterpret_cast<std::uint8_t*>(key.data())));
    return key;
}

}  // namespace

ColumnWriter::ColumnWriter(const ColumnMap& map, Layout layout, dao::Recordset& source, dao::Recordset& target,
                           const char16_t* targetTable, ValueChanges& changes, const RidRenames* renames)
    : source_(source),
      target_(target),
      targetTable_(targetTable),
      ofRecipes_(std::u16string_view(targetTable) == u"Recipe"),
      changes_(changes),
      renames_(renames) {
    columns_.reserve(map.size());
    for (const auto& mapping : map) {
        columns_.emplace_back(&mapping, layout == Layout::V10 ? &mapping.fromLayout10 : &mapping.fromLayout11);
        if (renames && !renames->empty() && std::u16string_view(mapping.target) == u"rID") ridColumn_ = &columns_.back();
    }
}

void ColumnWriter::findTarget(Column& column) { column.target.emplace(target_.Collect(column.mapping->target)); }

void ColumnWriter::findSource(Column& column) { column.source = &source_.Fields(column.rule->source); }

std::u16string ColumnWriter::currentRid() {
    try {
        if (!rid_) rid_ = &source_.Fields(u"rID");
        const dao::Variant rid = rid_->Value();
        return rid.isNull() ? std::u16string(u"Null") : u"\"" + rid.toText() + u"\"";
    } catch (const Failure&) {
        return u"unknown";
    }
}

std::optional<std::u16string> ColumnWriter::sourceText(const dao::Field*& field, const char16_t* name) {
    try {
        if (!field) field = &source_.Fields(name);
        const dao::Variant value = field->Value();
        if (value.isNull()) return std::nullopt;
        return value.toText();
    } catch (const Failure&) {
        return std::nullopt;
    }
}

// The change names the row as its owner knows it: a recipe row by its name, an ingredient row by
// its number and ingredient, or its Name where it has no ingredient text (its recipe's name comes
// from the recipe's own row); read only for a row that has a change.
ValueChange ColumnWriter::changeOf(const Column& column) {
    ValueChange change;
    change.table = targetTable_;
    change.column = column.mapping->target;
    change.sourceColumn = column.rule->source ? column.rule->source : column.mapping->target;
    change.rid = currentRid();
    if (ofRecipes()) {
        change.recipe = sourceText(name_, u"Name");
        return change;
    }
    change.item = sourceText(item_, u"Item");
    change.ingredient = sourceText(ingredient_, u"Ingred");
    // Some cookbooks keep the ingredient's name in the row's Name alone.
    if (!change.ingredient || change.ingredient->empty()) change.ingredient = sourceText(name_, u"Name");
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
    changes_.add(std::move(change));
    return text;
}

// An ingredient without an amount ("salt, to taste") keeps a Null amount. A number keeps its
// value; an amount marked with "*" is emptied, which the list of changes says; any other amount is
// kept as text, cut to the column's length like every other text the copy carries.
void ColumnWriter::writeAmount(Column& column) {
    constexpr std::size_t kAmountsRemembered = 4096;
    const dao::Field& source = sourceOf(column);
    const text::CodePage& page = text::westernEuropean();
    // Nearly every amount is a text code page 1252 holds: it is looked up by its stored bytes, and
    // decoded only when its row needs the text.
    if (source.storedTextIn(page, amountBytes_)) {
        amountKey_.assign(amountBytes_.begin(), amountBytes_.end());
        if (const auto found = amounts_.find(amountKey_); found != amounts_.end())
            return storeAmount(column, found->second, [&] { return page.decode(amountBytes_); });
    }
    dao::Variant amount = source.Value();
    if (amount.isNull()) {
        targetOf(column) = std::move(amount);
        return;
    }
    const std::u16string text = std::move(amount).toText();
    AmountOutcome outcome = amountOutcome(column, text);
    const auto key = amountKey(text);
    if (!key || amounts_.size() >= kAmountsRemembered) {
        amountNotRemembered_ = std::move(outcome);
        return storeAmount(column, amountNotRemembered_, [&] { return text; });
    }
    storeAmount(column, amounts_.emplace(*key, std::move(outcome)).first->second, [&] { return text; });
}

ColumnWriter::AmountOutcome ColumnWriter::amountOutcome(Column& column, const std::u16string& text) {
    dao::Variant parsed = dbFunction::ParseQuantity(text);
    if (parsed.kind() != dao::Variant::Kind::Text) return numberOutcome(column, text, std::move(parsed));
    std::u16string kept = std::move(parsed).toText();
    const bool emptied = kept.empty() && !text.empty();
    if (!emptied) {
        if (AmountOutcome outcome = tooLongOutcome(column, kept); outcome.emptied) return outcome;
    }
    if (!emptied && (!text::westernEuropean().holds(kept) || kept.size() > static_cast<std::size_t>(column.rule->length)))
        return {};
    return {targetOf(column).storedForm(dao::Variant(std::move(kept))), emptied};
}

// A number keeps its value; one whose text wrote more digits than its column keeps is listed.
ColumnWriter::AmountOutcome ColumnWriter::numberOutcome(Column& column, const std::u16string& text, dao::Variant number) {
    std::u16string shown = number.toText();
    AmountOutcome outcome{targetOf(column).storedForm(targetIsText(column) ? dao::Variant(shown) : std::move(number))};
    if (targetIsText(column) && !keepsWrittenDigits(text, shown)) outcome.storedAs = std::move(shown);
    return outcome;
}

// An amount kept as text is cut to its column like every text, unless what the cut leaves reads
// as a number ("1" and 49 zeros, beyond a single-precision number, would read as the 20-digit
// "10000000000000000000"): a number is never cut into another one. Such an amount is emptied and
// listed whole.
ColumnWriter::AmountOutcome ColumnWriter::tooLongOutcome(Column& column, const std::u16string& kept) {
    const auto length = static_cast<std::size_t>(column.rule->length);
    if (kept.size() <= length) return {};
    const std::u16string cut = text::westernEuropean().stored(kept).substr(0, length);
    if (dbFunction::ParseQuantity(cut).kind() == dao::Variant::Kind::Text) return {};
    return {targetOf(column).storedForm(dao::Variant(u"")), true, true};
}

// `outcome` is kept until the row is saved (a remembered one, or the column's own).
template <typename TextOf>
void ColumnWriter::storeAmount(Column& column, const AmountOutcome& outcome, TextOf&& textOf) {
    if (outcome.emptied || !outcome.storedAs.empty()) {
        ValueChange change = changeOf(column);
        change.amountEmptied = outcome.emptied;
        change.amountTooLong = outcome.tooLong;
        change.amountStoredAs = outcome.storedAs;
        change.amount = textOf();
        changes_.add(std::move(change));
    }
    if (outcome.stored) return targetOf(column).takeStoredForm(*outcome.stored);
    std::u16string kept = dbFunction::ParseQuantity(textOf()).toText();
    targetOf(column) = dao::Variant(fitted(column, std::move(kept), static_cast<std::size_t>(column.rule->length)));
}

std::size_t ColumnWriter::digitsRoom(Column& column) {
    if (column.digitsRoom) return *column.digitsRoom;
    const int type = sourceOf(column).Type();
    const dao::Field& target = target_.Fields(column.mapping->target);
    column.digitsRoom = 0;
    if ((type == dao::type::dbByte || type == dao::type::dbInteger || type == dao::type::dbLong) &&
        target.Type() == dao::type::dbText) {
        column.digitsRoom = static_cast<std::size_t>(target.Size());
        if (column.rule->kind == ColumnRule::Kind::FirstChars)
            column.digitsRoom = std::min(*column.digitsRoom, static_cast<std::size_t>(column.rule->length));
    }
    return *column.digitsRoom;
}

// The value one rule gives for the source's current row.
dao::Variant ColumnWriter::valueFor(Column& column) {
    using Kind = ColumnRule::Kind;
    const ColumnRule& rule = *column.rule;
    if (rule.kind == Kind::EmptyText) return dao::Variant(u"");
    if (rule.kind == Kind::Zero) return dao::Variant(static_cast<std::int16_t>(0));
    dao::Variant value = sourceOf(column).Value();
    switch (rule.kind) {
    case Kind::AsIs:
        if (value.kind() != dao::Variant::Kind::Text || !targetIsText(column)) return value;
        return dao::Variant(fitted(column, std::move(value).toText(), kNoCut));
    case Kind::FirstChars:
        if (value.isNull()) return value;
        return dao::Variant(fitted(column, std::move(value).toText(), static_cast<std::size_t>(rule.length)));
    default: return {};
    }
}

// A text copied unchanged or cut to its first characters, when it is short enough already, goes
// over as it is stored: the copy of most columns of most rows then decodes and encodes nothing.
bool ColumnWriter::copiedAsStored(Column& column) {
    using Kind = ColumnRule::Kind;
    const ColumnRule& rule = *column.rule;
    if (rule.kind != Kind::AsIs && rule.kind != Kind::FirstChars) return false;
    if (!column.textTaker) {
        const std::size_t most = rule.kind == Kind::FirstChars ? static_cast<std::size_t>(rule.length) : kNoCut;
        column.textTaker.emplace(targetOf(column), sourceOf(column), most);
    }
    return (*column.textTaker)();
}

// A whole number going into a text column uncut: its digits, ASCII, are the text's stored form,
// without the number's way through a text of its own.
bool ColumnWriter::wholeNumberAsDigits(Column& column) {
    using Kind = ColumnRule::Kind;
    const ColumnRule& rule = *column.rule;
    if (rule.kind != Kind::AsIs && rule.kind != Kind::FirstChars) return false;
    const std::size_t room = digitsRoom(column);
    if (room == 0) return false;
    const std::optional<std::int64_t> number = sourceOf(column).wholeNumber();
    if (!number) return false;
    const text::Digits digits(*number);
    if (digits.size() > room) return false;  // cut, or refused: the way of any value
    auto& bytes = std::get<jet::Bytes>(column.stored);
    bytes.assign(digits.begin(), digits.end());
    targetOf(column).takeStoredForm(column.stored);
    return true;
}

// A rule that reads no source gives its column the same value in every row: it is converted into
// the column's stored form once, at the first row, where Update would refuse it too.
bool ColumnWriter::givenAsConstant(Column& column) {
    using Kind = ColumnRule::Kind;
    if (column.rule->kind != Kind::EmptyText && column.rule->kind != Kind::Zero) return false;
    if (!column.constant) column.constant = targetOf(column).storedForm(valueFor(column));
    targetOf(column).takeStoredForm(*column.constant);
    return true;
}

// The row of a recipe that got a new rID, or of one of its ingredients, takes the new rID.
bool ColumnWriter::givenRenamedRid(Column& column) {
    if (&column != ridColumn_) return false;
    const dao::Variant rid = sourceOf(column).Value();
    if (rid.isNull()) return false;
    const RidRename* rename = renames_->find(rid.toText());
    if (!rename) return false;
    targetOf(column) = dao::Variant(rename->to);
    ValueChange change = changeOf(column);
    change.renamed = rename;
    changes_.add(std::move(change));
    return true;
}

void ColumnWriter::writeColumns() {
    if (ofRecipes()) changes_.addRecipe(currentRid(), sourceText(name_, u"Name"));
    for (auto& column : columns_) {
        if (ridColumn_ && givenRenamedRid(column)) continue;
        if (column.rule->kind == ColumnRule::Kind::ParsedAmount) {
            writeAmount(column);
            continue;
        }
        if (copiedAsStored(column) || givenAsConstant(column) || wholeNumberAsDigits(column)) continue;
        targetOf(column) = valueFor(column);
    }
}

}  // namespace zestrel::upgrade
