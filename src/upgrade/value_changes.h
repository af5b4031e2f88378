// The values an upgrade stored other than as the old cookbook held them: texts cut to their new
// column, characters the Western European character set (code page 1252) lacks replaced as
// Windows replaces them, and amounts the quantity rules emptied. A value converted without loss
// (an amount text that became its number, a number written as text) is no change. The list is
// written beside the backup, where the originals live, so that the owner can see and mend every
// one: each line names the recipe, the ingredient, and the field as it was called and is called
// now, in the natural order of the recipes' rIDs (R-2 before R-10).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "upgrade/background_queue.h"
#include "upgrade/rid_rename.h"
#include "upgrade/sorted_records.h"

namespace zestrel::upgrade {

struct ValueChange {
    struct Replacement {
        std::u16string character;  // one character: one code unit, or a surrogate pair
        char16_t storedAs;
        std::size_t times = 1;
    };
    const char16_t* table = u"";   // the new layout's table and column
    const char16_t* column = u"";
    std::u16string rid;             // the row's rID as the list shows it: quoted text, or Null
    std::vector<Replacement> replaced;
    bool cut = false;
    std::size_t kept = 0;          // characters kept of `length`, when cut
    std::size_t length = 0;
    std::u16string cutOff;          // the tail that was cut
    bool amountEmptied = false;
    std::u16string amount;          // the amount the quantity rules emptied, or one stored as amountStoredAs
    bool amountTooLong = false;     // emptied as too long for its column: cut, it would read as another number
    std::u16string amountStoredAs;  // a number stored with fewer digits than its amount wrote
    const RidRename* renamed = nullptr;  // the row's recipe got a new rID so that it stays apart
    const char16_t* sourceColumn = u"";  // the old layout's column the value came from
    // A recipe row's name, and an ingredient row's number (Item) and ingredient (Ingred, or its
    // Name when that is empty); none when Null. An ingredient's line names its recipe as addRecipe
    // named it.
    std::optional<std::u16string> recipe;
    std::optional<std::u16string> item;
    std::optional<std::u16string> ingredient;
};

// The changes of one run. Each is kept as the fields of its line, sorted into the list's order as
// they are read back; given a file to spill into, they go there in sorted batches, so that the
// memory a list takes does not grow with the cookbook. The lines are made and sorted on a thread
// of their own while the caller goes on (a failure to spill them is thrown at a later add, or
// when the list is read); the counts are kept at once.
class ValueChanges {
public:
    ValueChanges() = default;
    ValueChanges(const ValueChanges&) = delete;
    ValueChanges& operator=(const ValueChanges&) = delete;

    // Whether the changes are those an upgrade would make (a dry run): the list then says "would".
    void setWould(bool would) { would_ = would; }
    // From now on the lines go to a new file at `path` (what was there, a run's leftover, is
    // removed first); the file is removed when the list is cleared or destroyed.
    void spillTo(const std::filesystem::path& path);
    // The change's rename, if any, is copied: it need not outlive the call.
    void add(ValueChange change);
    // The recipe of rID `rid` (as ValueChange::rid shows it) is called `name`: the lines of its
    // ingredients say so. Not a change.
    void addRecipe(std::u16string rid, std::optional<std::u16string> name);
    // Returns once every change added is among the lines; throws what failed to keep them (a
    // spill that could not be written).
    void settle() const;
    bool empty() const { return size_ == 0 && sharedRids_.empty(); }
    std::size_t size() const { return size_; }
    // Forgets every change, and the file spilled into.
    void clear();
    // Forgets the lines and the file spilled into, keeping the counts: once the list is written
    // beside the backup, only its counts are asked for.
    void keepCountsOnly();
    // What the list says of the old cookbook's tables the new layout has no place for.
    void setTablesLeft(std::u16string text) { tablesLeft_ = std::move(text); }
    // Recipes the old cookbook already gave one rID, named at the top of the list.
    void setSharedRids(std::vector<std::u16string> lines) { sharedRids_ = std::move(lines); }
    // How many recipes got a new rID.
    std::size_t renamedRecipes() const { return renamed_; }
    // How many recipes have a change, in their own row or in one of their ingredients (rows of
    // one rID are one recipe's).
    std::size_t recipes() const;

    // The list as the owner reads it (UTF-8, lines ended by "\n"): why values change and how
    // many did, then one line a changed value. `cookbook` is the upgraded file; `backup` where the
    // originals are kept (empty for a dry run).
    std::string render(const std::filesystem::path& cookbook, const std::filesystem::path& backup) const;
    // The same list handed to `write` piece by piece, so that a long list is never held whole.
    void writeTo(const std::filesystem::path& cookbook, const std::filesystem::path& backup,
                 const std::function<void(std::string_view)>& write) const;
    // The changes as a table for spreadsheets: a header row, then one change a row, its fields
    // separated by tabs and escaped as the list's values are.
    void writeTableTo(const std::function<void(std::string_view)>& write) const;

private:
    // A change, or (no table) a recipe's name, on its way to the lines.
    struct Entry {
        ValueChange change;
        std::optional<RidRename> rename;  // what change.renamed led to
    };
    static constexpr std::size_t kEntriesHandedOver = 256;

    std::string head(const std::filesystem::path& cookbook, const std::filesystem::path& backup) const;
    // Hands the entries gathered over to the lines' thread.
    void handOver();
    // The line of one entry, on the lines' thread.
    void record(Entry& entry, bool would);

    bool would_ = false;
    std::size_t size_ = 0;
    std::size_t cut_ = 0;
    std::size_t replaced_ = 0;
    std::size_t emptied_ = 0;
    std::size_t renamed_ = 0;
    std::size_t followed_ = 0;  // ingredient rows that took their recipe's new rID
    std::size_t fewerDigits_ = 0;
    SortedRecords lines_;
    std::string key_;  // the key and fields being built, their room kept from one change to the next
    std::string fields_;
    std::u16string tablesLeft_;
    std::vector<std::u16string> sharedRids_;
    mutable std::optional<std::size_t> recipes_;  // counted when first asked for
    std::vector<Entry> entries_;  // gathered for the lines' thread
    // Last, so that it finishes what it was handed before the lines go.
    mutable BackgroundQueue worker_;
};

// A value (a text of the cookbook) as the list shows it between quotes: line break, carriage
// return, tab, backslash and quote written as \n, \r, \t, \\ and \", other control characters
// as \x1B, so that a value is always one field of one line.
std::u16string listValue(std::u16string_view text);
// The same, appended in UTF-8.
void appendListValue(std::string& out, std::u16string_view text);

// One value's change, as its line in the list says it (without the recipe, ingredient and field),
// of a change made or, `would`, of one an upgrade would make.
std::string describe(const ValueChange& change, bool would = false);

}  // namespace zestrel::upgrade
