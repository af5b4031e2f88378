#include "upgrade/rid_renames.h"

#include <string>
#include <unordered_set>

#include "store/dao/recordset.h"
#include "store/jet/database_file.h"
#include "store/jet/sort_key.h"
#include "text/case_fold.h"
#include "text/code_page.h"
#include "upgrade/value_changes.h"

namespace zestrel::upgrade {

namespace {

constexpr std::size_t kRidRoom = 50;  // the size of the new layout's rID columns
constexpr std::size_t kCutFromLayout10 = 50;

// One recipe row's rID, as the old cookbook holds it and as the new one will store it. Most rIDs
// are ASCII letters and digits stored in code page 1252 already: their key comes straight from
// the stored bytes, and their text is decoded only when asked for.
class RecipeRow {
public:
    RecipeRow(dao::Recordset& recipes, Layout layout)
        : rid_(recipes.Fields(u"rID")), name_(recipes.Fields(u"Name")), layout_(layout) {}

    // Reads the current row; false when its rID is null.
    bool read() {
        texts_ = false;
        key_.clear();
        if ((storedDigits() || rid_.storedTextIn(text::westernEuropean(), bytes_)) && fitsUncut(bytes_.size()) &&
            plainKey()) {
            convertedKey_ = key_;
            changed_ = false;
            return true;
        }
        const dao::Variant value = rid_.Value();
        if (value.isNull()) return false;
        decode(value);
        key_ = ridMatchKey(ridText_);
        changed_ = converted_ != ridText_;
        convertedKey_ = changed_ ? ridMatchKey(converted_) : key_;
        return true;
    }

    const std::string& key() const { return key_; }
    const std::string& convertedKey() const { return convertedKey_; }
    bool changed() const { return changed_; }
    const std::u16string& rid() {
        if (!texts_) decode(rid_.Value());
        return ridText_;
    }
    const std::u16string& converted() {
        rid();
        return converted_;
    }
    std::u16string name() const {
        const dao::Variant title = name_.Value();
        return title.isNull() ? std::u16string() : title.toText();
    }

private:
    // A whole number (layout 1.0's rIDs) becomes its digits, which conversion never changes.
    bool storedDigits() {
        const auto number = rid_.wholeNumber();
        if (!number) return false;
        const std::string digits = std::to_string(*number);
        bytes_.assign(digits.begin(), digits.end());
        return true;
    }
    bool fitsUncut(std::size_t length) const { return layout_ != Layout::V10 || length <= kCutFromLayout10; }
    // The key of a text of ASCII letters and digits, folded to lower case, from its stored bytes.
    bool plainKey() {
        for (auto& byte : bytes_)
            if (byte >= 'A' && byte <= 'Z') byte = static_cast<std::uint8_t>(byte + ('a' - 'A'));
        return jet::appendPlainSortKey(bytes_, key_);
    }
    void decode(const dao::Variant& value) {
        ridText_ = value.toText();
        converted_ = text::westernEuropean().stored(ridText_);
        if (!fitsUncut(converted_.size())) converted_.resize(kCutFromLayout10);
        texts_ = true;
    }

    const dao::Field& rid_;
    const dao::Field& name_;
    Layout layout_;
    jet::Bytes bytes_;
    bool texts_ = false;
    std::u16string ridText_;
    std::u16string converted_;
    std::string key_;
    std::string convertedKey_;
    bool changed_ = false;
};

// Walks the source's recipes in rID order, handing each one with a rID to `visit`.
template <typename Visit>
void forEachRecipe(dao::Database& source, Layout layout, Visit&& visit) {
    auto recipes = source.OpenRecordset(u"Select * FROM Recipe ORDER BY rID", dao::dbOpenSnapshot);
    RecipeRow row(*recipes, layout);
    for (; !recipes->EOF_(); recipes->MoveNext())
        if (row.read()) visit(row);
    recipes->Close();
}

// The distinct rIDs whose stored form differs from them (the only ones that can meet another rID
// after conversion), and whether any rID is shared by several recipes (rows of one rID are
// neighbours in rID order).
struct FirstLook {
    std::unordered_set<std::string> changedKeys;  // ridMatchKey of each changed rID's stored form
    bool anyShared = false;
};

FirstLook firstLook(dao::Database& source, Layout layout) {
    FirstLook look;
    std::string previous;
    bool any = false;
    forEachRecipe(source, layout, [&](RecipeRow& row) {
        if (row.changed()) look.changedKeys.insert(row.convertedKey());
        look.anyShared = look.anyShared || (any && row.key() == previous);
        previous = row.key();
        any = true;
    });
    return look;
}

// The recipes that share one rID, with their names: looked for only when some do.
std::vector<SharedRid> sharedRids(dao::Database& source, Layout layout) {
    std::vector<SharedRid> shared;
    std::string previous;
    std::u16string previousRid;
    std::u16string previousName;
    bool inRun = false;
    bool any = false;
    forEachRecipe(source, layout, [&](RecipeRow& row) {
        const bool same = any && row.key() == previous;
        any = true;
        if (same && !inRun) shared.push_back({previousRid, {previousName}});
        if (same) shared.back().recipes.push_back(row.name());
        inRun = same;
        previous = row.key();
        previousRid = row.rid();
        previousName = row.name();
    });
    return shared;
}

// The recipes of one rID (as the engine matches it) whose stored form may meet another's.
struct Group {
    std::u16string rid;
    std::u16string name;
    std::u16string converted;
    std::string key;
};

}  // namespace

std::string ridMatchKey(const std::u16string& rid) {
    std::string key;
    jet::appendGeneralSortKey(text::foldCase(rid), key);
    return key;
}

std::u16string numberedRid(const std::u16string& converted, std::size_t number, std::size_t room) {
    const std::string digits = "~" + std::to_string(number);
    const std::u16string suffix(digits.begin(), digits.end());
    const std::size_t keep = room > suffix.size() ? room - suffix.size() : 0;
    return converted.substr(0, keep) + suffix;
}

RidRenames RidRenames::plan(dao::Database& source, Layout layout) {
    RidRenames plan;
    FirstLook look = firstLook(source, layout);
    if (look.anyShared) plan.shared_ = sharedRids(source, layout);
    if (look.changedKeys.empty()) return plan;

    // A second look, only when some rID changes: every stored form taken, and the groups that
    // meet another group's stored form, by that form, in rID order.
    std::unordered_set<std::string> taken;
    std::unordered_map<std::string, std::vector<Group>> meeting;
    std::unordered_set<std::string> grouped;
    std::vector<std::string> formsInOrder;
    forEachRecipe(source, layout, [&](RecipeRow& row) {
        taken.insert(row.convertedKey());
        if (!look.changedKeys.contains(row.convertedKey()) || !grouped.insert(row.key()).second) return;
        auto& groups = meeting[row.convertedKey()];
        if (groups.empty()) formsInOrder.push_back(row.convertedKey());
        groups.push_back({row.rid(), row.name(), row.converted(), row.key()});
    });
    for (const auto& form : formsInOrder) {
        const auto& groups = meeting[form];
        for (std::size_t i = 1; i < groups.size(); ++i) {
            std::u16string renamed;
            for (std::size_t number = 2;; ++number) {
                renamed = numberedRid(groups[i].converted, number, kRidRoom);
                if (taken.insert(ridMatchKey(renamed)).second) break;
            }
            plan.order_.push_back(groups[i].key);
            plan.byKey_.emplace(groups[i].key, RidRename{groups[i].rid, groups[i].name, std::move(renamed),
                                                         groups[0].rid, groups[0].name, groups[i].converted});
        }
    }
    return plan;
}

std::vector<std::u16string> sharedRidLines(const RidRenames& renames) {
    std::vector<std::u16string> lines;
    for (const auto& shared : renames.shared()) {
        const std::string count = std::to_string(shared.recipes.size());
        std::u16string line = std::u16string(count.begin(), count.end()) + u" recipes share rID \"" + listValue(shared.rid) +
                              u"\" in the original cookbook (";
        for (std::size_t i = 0; i < shared.recipes.size(); ++i)
            line += (i > 0 ? u", \"" : u"\"") + listValue(shared.recipes[i]) + u"\"";
        lines.push_back(line + u"); their ingredients cannot be told apart.");
    }
    return lines;
}

const RidRename* RidRenames::find(const std::u16string& rid) const {
    const auto found = byKey_.find(ridMatchKey(rid));
    return found == byKey_.end() ? nullptr : &found->second;
}

std::vector<const RidRename*> RidRenames::inOrder() const {
    std::vector<const RidRename*> renames;
    for (const auto& key : order_) renames.push_back(&byKey_.at(key));
    return renames;
}

}  // namespace zestrel::upgrade
