#include "upgrade/value_changes.h"

#include <algorithm>
#include <array>

#include "platform/file_system.h"
#include "text/digits.h"
#include "text/case_fold.h"
#include "text/natural_order.h"
#include "platform/path_text.h"
#include "text/utf8.h"
#include "upgrade/rid_renames.h"

namespace zestrel::upgrade {

namespace {

// Appended in place: a list may have a line for nearly every row.
void appendNumber(std::string& out, std::size_t number) { text::appendDigits(out, number); }

// A value from the cookbook, quoted; a control character in it (a line break that would forge a
// line of its own) is written as "\x0A".
void appendQuoted(std::string& out, std::u16string_view text) {
    out += '"';
    appendListValue(out, text);
    out += '"';
}

// The row's rID as the list shows it: a quoted text, with its control characters escaped as any
// value's, or Null.
void appendRid(std::string& out, std::u16string_view rid) {
    if (rid.size() >= 2 && rid.front() == u'"' && rid.back() == u'"') return appendQuoted(out, rid.substr(1, rid.size() - 2));
    text::appendUtf8(rid, out);
}

void appendReplacements(std::string& out, const std::vector<ValueChange::Replacement>& replaced, bool would) {
    out += would ? "characters would be replaced: " : "characters replaced: ";
    for (std::size_t i = 0; i < replaced.size(); ++i) {
        const auto& r = replaced[i];
        if (i > 0) out += ", ";
        appendQuoted(out, r.character);
        out += " by ";
        appendQuoted(out, std::u16string_view(&r.storedAs, 1));
        if (r.times > 1) {
            out += " (";
            appendNumber(out, r.times);
            out += " times)";
        }
    }
}

// A file's name on a line of its own: its bytes that are no UTF-8 and its control characters
// escaped, its folder separators as they are.
std::string listedPath(const std::filesystem::path& path) {
    std::string out;
    for (const char c : platform::shownPath(path)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte != 0x7F) {
            out += c;
            continue;
        }
        constexpr char kHex[] = "0123456789ABCDEF";
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
    }
    return out;
}

bool isRecipeTable(const ValueChange& change) { return std::u16string_view(change.table) == u"Recipe"; }

void appendRename(std::string& out, const RidRename& rename, bool ofRecipe, bool would) {
    out += "rID ";
    appendQuoted(out, rename.from);
    if (ofRecipe) {
        out += " of ";
        appendQuoted(out, rename.recipe);
    }
    out += would ? " would become " : " became ";
    appendQuoted(out, rename.to);
    if (!ofRecipe) {
        out += " with its recipe ";
        appendQuoted(out, rename.recipe);
        return;
    }
    out += ", because ";
    appendQuoted(out, rename.other);
    out += " (";
    appendListValue(out, rename.otherRecipe);
    out += ") also becomes ";
    appendQuoted(out, rename.convertedTo);
}

// An amount's number that lost digits, or one emptied since its column would have cut it into
// another number.
bool appendAmountLoss(std::string& out, const ValueChange& change, bool would) {
    if (!change.amountStoredAs.empty()) {
        out += "amount ";
        appendQuoted(out, change.amount);
        out += would ? " would be stored as " : " stored as ";
        appendQuoted(out, change.amountStoredAs);
        out += " (a number keeps 7 significant digits)";
        return true;
    }
    if (!change.amountTooLong) return false;
    out += "amount ";
    appendQuoted(out, change.amount);
    out += would ? " would be emptied" : " emptied";
    out += " (too long for its field: cut, it would read as another number)";
    return true;
}

void appendDescription(std::string& out, const ValueChange& change, bool would) {
    if (change.renamed) return appendRename(out, *change.renamed, isRecipeTable(change), would);
    if (appendAmountLoss(out, change, would)) return;
    if (change.amountEmptied) {
        out += "amount ";
        appendQuoted(out, change.amount);
        out += would ? " would be emptied" : " emptied";
        out += " (an amount marked with \"*\" is left empty)";
        return;
    }
    if (!change.replaced.empty()) appendReplacements(out, change.replaced, would);
    if (change.cut) {
        if (!change.replaced.empty()) out += "; ";
        out += would ? "would be cut to " : "cut to ";
        appendNumber(out, change.kept);
        out += " of ";
        appendNumber(out, change.length);
        out += " characters, cut off: ";
        appendQuoted(out, change.cutOff);
    }
}

}  // namespace

namespace {

bool escapedInList(char16_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == u'\\' || c == u'"'; }

}  // namespace

namespace {

// The escape of one character the list escapes, after its backslash.
void appendEscape(std::string& out, char16_t c) {
    out += '\\';
    switch (c) {
    case u'\n': out += 'n'; return;
    case u'\r': out += 'r'; return;
    case u'\t': out += 't'; return;
    case u'\\':
    case u'"': out += static_cast<char>(c); return;
    default: break;
    }
    constexpr char kHex[] = "0123456789ABCDEF";
    out += 'x';
    out += kHex[c >> 4];
    out += kHex[c & 0xF];
}

}  // namespace

// One pass: plain ASCII, the most of any cookbook's texts, is appended as it is; a run of other
// characters as UTF-8; an escaped character as its escape.
void appendListValue(std::string& out, std::u16string_view text) {
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = at;
        while (at < text.size() && text[at] < 0x80 && !escapedInList(text[at])) ++at;
        out.append(at - start, '\0');
        std::copy(text.begin() + static_cast<std::ptrdiff_t>(start), text.begin() + static_cast<std::ptrdiff_t>(at),
                  out.end() - static_cast<std::ptrdiff_t>(at - start));
        const std::size_t wide = at;
        while (at < text.size() && text[at] >= 0x80 && !escapedInList(text[at])) ++at;
        if (at > wide) text::appendUtf8(text.substr(wide, at - wide), out);
        if (at < text.size() && escapedInList(text[at])) appendEscape(out, text[at++]);
    }
}

// The same escapes as the list's UTF-8, written once there.
std::u16string listValue(std::u16string_view text) {
    std::string out;
    appendListValue(out, text);
    return text::fromUtf8(out);
}

std::string describe(const ValueChange& change, bool would) {
    std::string out;
    appendDescription(out, change, would);
    return out;
}

namespace {

// The fields of a change's line, in this order, separated by a zero byte (no escaped value holds
// one): its table, its rID as shown, as a bare value and with case folded (rows of rIDs that differ
// only in case are one recipe's, as the engine matches them), the recipe's name, the ingredient's
// number and name, the field's old and new names, and what happened to the value.
enum Field { kTable, kRidShown, kRid, kRidFolded, kRecipe, kItem, kIngredient, kOldColumn, kNewColumn, kDescription, kFields };

using Fields = std::array<std::string_view, kFields>;

// The table field of a record that names a recipe, and is no change.
constexpr std::string_view kNameRecord = "name";

// The first `count` fields of a record (all of them unless told); the rest are left empty.
Fields fieldsOf(std::string_view body, std::size_t count = kFields) {
    Fields fields{};
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t end = std::min(body.find('\0'), body.size());
        fields[i] = body.substr(0, end);
        body.remove_prefix(std::min(end + 1, body.size()));
    }
    return fields;
}

void appendField(std::string& out, std::u16string_view text) {
    appendListValue(out, text);
    out += '\0';
}

void appendOptionalQuoted(std::string& out, const std::optional<std::u16string>& text) {
    if (text) appendQuoted(out, *text);
    out += '\0';
}

// The row's rID bare, for the table: the text without its quotes, empty for Null.
std::u16string_view bareRid(std::u16string_view rid) {
    if (rid.size() >= 2 && rid.front() == u'"' && rid.back() == u'"') return rid.substr(1, rid.size() - 2);
    return {};
}

// The list's order: recipes by rID in natural order, each recipe's own row before its
// ingredients, those by their number; changes of one row in the order they were made.
// Rows whose rIDs only look alike in natural order (R01 and R1) stay apart, after it, by the rID
// with its case folded: the rows of one recipe lie together, and so the recipes can be counted
// as the list is read.
void appendKey(std::string& key, std::u16string_view rid, bool ofRecipe, const std::optional<std::u16string>& item) {
    const bool quoted = rid.size() >= 2 && rid.front() == u'"';
    text::appendNaturalKey(key, quoted ? std::optional<std::u16string_view>(bareRid(rid)) : std::nullopt);
    text::appendUtf8(text::foldCase(std::u16string(rid)), key);
    key += '\0';
    key += ofRecipe ? '\0' : '\1';
    text::appendNaturalKey(key, item ? std::optional<std::u16string_view>(*item) : std::nullopt);
}

std::string_view unquoted(std::string_view text) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') return text.substr(1, text.size() - 2);
    return text;
}

// "Serving → Yield", or "Name" when the field kept its name.
void appendColumns(std::string& out, const Fields& fields) {
    out += fields[kOldColumn];
    if (fields[kOldColumn] == fields[kNewColumn]) return;
    out += " \u2192 ";
    out += fields[kNewColumn];
}

// The recipe the lines in hand belong to, as the name record of its rID, read back just before
// them, names it. Two recipes of one rID are both named.
class RecipeNames {
public:
    // Takes a name record; false for the fields of a change.
    bool take(const Fields& fields) {
        if (fields[kTable] != kNameRecord) return false;
        if (fields[kRidFolded] != rid_ || !known_) {
            rid_.assign(fields[kRidFolded]);
            name_.clear();
        } else {
            name_ += " or ";
        }
        name_ += fields[kRecipe].empty() ? std::string_view("without a name") : fields[kRecipe];
        known_ = true;
        return true;
    }
    // The recipe's name for a change's line: its own for a recipe row's.
    std::string_view nameFor(const Fields& fields) const {
        if (fields[kTable] == "Recipe") return fields[kRecipe].empty() ? std::string_view("without a name") : fields[kRecipe];
        return known_ && fields[kRidFolded] == rid_ ? std::string_view(name_) : std::string_view();
    }

private:
    bool known_ = false;
    std::string rid_;
    std::string name_;
};

// One line of the list: Recipe "Soup" (rID "1"), ingredient 3 "flour", Amt → Amount: ...
void appendLine(std::string& out, const Fields& fields, std::string_view recipe) {
    out += recipe.empty() ? "No recipe" : "Recipe ";
    out += recipe;
    out += " (rID ";
    out += fields[kRidShown];
    out += "), ";
    if (fields[kTable] != "Recipe") {
        out += "ingredient ";
        if (fields[kItem].empty() && fields[kIngredient].empty()) out += "without a number or name";
        out += fields[kItem];
        if (!fields[kItem].empty() && !fields[kIngredient].empty()) out += ' ';
        out += fields[kIngredient];
        out += ", ";
    }
    appendColumns(out, fields);
    out += ": ";
    out += fields[kDescription];
    out += '\n';
}

void appendRow(std::string& out, const Fields& fields, std::string_view recipe) {
    for (const Field field : {kRid, kRecipe, kItem, kIngredient, kOldColumn, kNewColumn}) {
        // A recipe without a name, or no recipe, leaves the cell empty; two names stay quoted.
        if (field == kRecipe && recipe.starts_with('"'))
            out += recipe.find("\" or \"") == std::string_view::npos ? unquoted(recipe) : recipe;
        if (field == kIngredient) out += unquoted(fields[field]);
        if (field != kRecipe && field != kIngredient) out += fields[field];
        out += '\t';
    }
    out += fields[kDescription];
    out += '\n';
}

std::string counted(std::size_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

// Why values change, each reason with the count of values it changed.
std::string reasons(std::size_t replaced, std::size_t cut, std::size_t emptied, std::size_t fewerDigits) {
    std::string out;
    if (replaced > 0)
        out += "The new cookbook stores text in the Western European character set; letters outside it are "
               "replaced by the nearest one, or by '?': " + counted(replaced, "value.\n", "values.\n");
    if (cut > 0)
        out += "Some fields of the new cookbook hold fewer characters than the old ones; a longer text is cut to "
               "fit, and its line below shows the part cut off: " + counted(cut, "value.\n", "values.\n");
    if (emptied > 0)
        out += "An amount marked with \"*\" is left empty, and so is one too long for its field, which cut would "
               "read as another number: " + counted(emptied, "amount.\n", "amounts.\n");
    if (fewerDigits > 0)
        out += "An amount is stored as a number of at most 7 significant digits: " +
               counted(fewerDigits, "amount has fewer digits than it was written with.\n",
                       "amounts have fewer digits than they were written with.\n");
    return out;
}

// Each change, with its recipe's name, appended by `append` after `block` and handed to `write`
// in pieces of about 64 KB.
void writeChanges(const SortedRecords& lines, std::string block,
                  void (*append)(std::string&, const Fields&, std::string_view),
                  const std::function<void(std::string_view)>& write) {
    RecipeNames names;
    lines.forEach([&](std::string_view body) {
        const Fields fields = fieldsOf(body);
        if (names.take(fields)) return;
        append(block, fields, names.nameFor(fields));
        if (block.size() < (std::size_t{64} << 10)) return;
        write(block);
        block.clear();
    });
    write(block);
}

}  // namespace

void ValueChanges::spillTo(const std::filesystem::path& path) {
    settle();
    lines_.spillTo(path);
}

void ValueChanges::clear() {
    entries_.clear();
    try {
        worker_.wait();
    } catch (...) {
        // The lines it failed to keep are forgotten with the rest.
    }
    lines_.clear();
    size_ = cut_ = replaced_ = emptied_ = renamed_ = followed_ = fewerDigits_ = 0;
    tablesLeft_.clear();
    sharedRids_.clear();
    recipes_.reset();
}

// The rows of one recipe (one rID with its case folded) lie together in the list's order; of
// them, each rID as written counts once.
std::size_t ValueChanges::recipes() const {
    if (recipes_) return *recipes_;
    settle();
    std::size_t count = 0;
    std::string group;
    std::vector<std::string> seen;
    lines_.forEach([&](std::string_view body) {
        const Fields fields = fieldsOf(body, kRidFolded + 1);
        if (fields[kTable] == kNameRecord) return;
        if (fields[kRidFolded] != group) {
            group.assign(fields[kRidFolded]);
            seen.clear();
        }
        if (std::find(seen.begin(), seen.end(), fields[kRidShown]) != seen.end()) return;
        seen.emplace_back(fields[kRidShown]);
        ++count;
    });
    recipes_ = count;
    return count;
}

void ValueChanges::keepCountsOnly() {
    try {
        recipes();
    } catch (...) {
        // Lines that could not be kept: a run that failed anyway, whose counts nobody reads.
    }
    lines_.clear();
}

void ValueChanges::add(ValueChange change) {
    ++size_;
    recipes_.reset();
    cut_ += change.cut ? 1 : 0;
    replaced_ += change.replaced.empty() ? 0 : 1;
    emptied_ += change.amountEmptied ? 1 : 0;
    if (change.renamed) ++(isRecipeTable(change) ? renamed_ : followed_);
    fewerDigits_ += change.amountStoredAs.empty() ? 0 : 1;
    std::optional<RidRename> rename;
    if (change.renamed) rename = *change.renamed;
    entries_.push_back({std::move(change), std::move(rename)});
    if (entries_.size() >= kEntriesHandedOver) handOver();
}

void ValueChanges::addRecipe(std::u16string rid, std::optional<std::u16string> name) {
    recipes_.reset();
    ValueChange named;
    named.table = nullptr;
    named.rid = std::move(rid);
    named.recipe = std::move(name);
    entries_.push_back({std::move(named), std::nullopt});
    if (entries_.size() >= kEntriesHandedOver) handOver();
}

void ValueChanges::handOver() {
    if (entries_.empty()) return;
    worker_.post([this, entries = std::move(entries_), would = would_]() mutable {
        for (Entry& entry : entries) record(entry, would);
    });
    entries_.clear();
    entries_.reserve(kEntriesHandedOver);
}

void ValueChanges::settle() const {
    auto& self = const_cast<ValueChanges&>(*this);
    self.handOver();
    worker_.wait();
}

void ValueChanges::record(Entry& entry, bool would) {
    ValueChange& change = entry.change;
    key_.clear();
    std::string& fields = fields_;
    if (!change.table) {  // a recipe's name
        appendKey(key_, change.rid, true, std::nullopt);
        fields.assign(kNameRecord);
        fields += '\0';
        appendRid(fields, change.rid);
        fields += '\0';
        fields += '\0';
        appendField(fields, text::foldCase(change.rid));
        appendOptionalQuoted(fields, change.recipe);
        lines_.add(key_, fields);
        return;
    }
    change.renamed = entry.rename ? &*entry.rename : nullptr;
    appendKey(key_, change.rid, isRecipeTable(change), change.item);
    fields.clear();
    text::appendUtf8(change.table, fields);
    fields += '\0';
    appendRid(fields, change.rid);
    fields += '\0';
    appendField(fields, bareRid(change.rid));
    appendField(fields, text::foldCase(change.rid));
    appendOptionalQuoted(fields, change.recipe);
    if (change.item) appendListValue(fields, *change.item);
    fields += '\0';
    appendOptionalQuoted(fields, change.ingredient);
    appendField(fields, *change.sourceColumn ? change.sourceColumn : change.column);
    appendField(fields, change.column);
    appendDescription(fields, change, would);
    lines_.add(key_, fields);
}

std::string ValueChanges::head(const std::filesystem::path& cookbook, const std::filesystem::path& backup) const {
    std::string head = would_ ? "Values an upgrade would change\n" : "Values the upgrade changed\n";
    head += "Cookbook: " + listedPath(cookbook) + "\n";
    if (!backup.empty()) head += "The original cookbook, with every value as it was: " + listedPath(backup) + "\n";
    head += "\n" + reasons(replaced_, cut_, emptied_, fewerDigits_);
    head += counted(size_, "value ", "values ") + (would_ ? "would change" : "changed") + " in " +
            counted(recipes(), "recipe.\n", "recipes.\n");
    if (renamed_ > 0)
        head += counted(renamed_, "recipe ", "recipes ") + (would_ ? "would get" : "got") +
                " a new rID, because the new cookbook would have given it the rID of another recipe; " +
                counted(followed_, "ingredient ", "ingredients ") + (would_ ? "would follow" : "followed") +
                " their recipe.\n";
    for (const auto& shared : sharedRids_) {
        text::appendUtf8(shared, head);
        head += "\n";
    }
    if (!tablesLeft_.empty()) head += text::toUtf8(tablesLeft_) + "\n";
    head += "\n";
    return head;
}

void ValueChanges::writeTo(const std::filesystem::path& cookbook, const std::filesystem::path& backup,
                           const std::function<void(std::string_view)>& write) const {
    settle();
    write(head(cookbook, backup));
    writeChanges(lines_, {}, appendLine, write);
}

void ValueChanges::writeTableTo(const std::function<void(std::string_view)>& write) const {
    settle();
    writeChanges(lines_, "rID\tRecipe\tItem\tIngredient\tField before\tField now\tChange\n", appendRow, write);
}

std::string ValueChanges::render(const std::filesystem::path& cookbook, const std::filesystem::path& backup) const {
    std::string out;
    writeTo(cookbook, backup, [&](std::string_view piece) { out += piece; });
    return out;
}

}  // namespace zestrel::upgrade
