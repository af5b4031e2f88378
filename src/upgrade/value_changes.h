// The values an upgrade stored other than as the old cookbook held them: texts cut to their new
// column, characters code page 1252 lacks replaced as Windows replaces them, and amounts the
// quantity rules emptied. A value converted without loss (an amount text that became its number,
// a number written as text) is no change. The list is written beside the backup, where the
// originals live, so that the owner can see and mend every one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "platform/file.h"

namespace zestrel::upgrade {

struct RidRename;

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
};

// The changes of one run. Each is kept as its line of the list, written when it is added: a
// cookbook may have a change in every row, and a line takes a fraction of what the change's parts
// would. Given a file to spill into, the lines go there as they come, a small block at a time, so
// that the memory a list takes does not grow with the cookbook.
class ValueChanges {
public:
    ValueChanges() = default;
    ValueChanges(const ValueChanges&) = delete;
    ValueChanges& operator=(const ValueChanges&) = delete;
    ~ValueChanges();

    // From now on the lines go to a new file at `path` (what was there, a run's leftover, is
    // removed first); the file is removed when the list is cleared or destroyed.
    void spillTo(const std::filesystem::path& path);
    void add(const ValueChange& change);
    bool empty() const { return size_ == 0 && sharedRids_.empty(); }
    std::size_t size() const { return size_; }
    // Forgets every change, and the file spilled into.
    void clear();
    // Forgets the lines and the file spilled into, keeping the counts: once the list is written
    // beside the backup, only its counts are asked for.
    void keepCountsOnly() {
        removeSpill();
        lines_.clear();
    }
    // What the list says of the old cookbook's tables the new layout has no place for.
    void setTablesLeft(std::u16string text) { tablesLeft_ = std::move(text); }
    // Recipes the old cookbook already gave one rID, named at the top of the list.
    void setSharedRids(std::vector<std::u16string> lines) { sharedRids_ = std::move(lines); }
    // How many recipes got a new rID.
    std::size_t renamedRecipes() const { return renamed_; }
    // How many recipes have a change, in their own row or in one of their ingredients (rows of
    // one rID are one recipe's).
    std::size_t recipes() const { return rids_.size(); }

    // The list as the owner reads it (UTF-8): the counts, then one line a changed value. `cookbook`
    // is the upgraded file; `backup` where the originals are kept (empty for a dry run).
    std::string render(const std::filesystem::path& cookbook, const std::filesystem::path& backup) const;
    // The same list handed to `write` piece by piece (the counts, then the lines in blocks), so
    // that a long list is never held twice.
    void writeTo(const std::filesystem::path& cookbook, const std::filesystem::path& backup,
                 const std::function<void(std::string_view)>& write) const;

private:
    std::size_t size_ = 0;
    std::size_t cut_ = 0;
    std::size_t replaced_ = 0;
    std::size_t emptied_ = 0;
    std::size_t renamed_ = 0;
    std::size_t followed_ = 0;  // ingredient rows that took their recipe's new rID
    std::size_t fewerDigits_ = 0;
    void spillBlock();
    void removeSpill() noexcept;

    // UTF-8, one line a change, in blocks of about 1 MB: the list grows without being moved. When
    // it spills, one small block, written to the file whenever it fills.
    std::vector<std::string> lines_;
    std::optional<platform::File> spill_;
    std::filesystem::path spillPath_;
    std::uint64_t spilled_ = 0;  // bytes in the file
    std::string line_;  // the line being written, its room kept from one change to the next
    std::u16string tablesLeft_;
    std::vector<std::u16string> sharedRids_;
    std::unordered_set<std::u16string> rids_;
};

// A value (a text of the cookbook) as the list shows it between quotes: line break, carriage
// return, tab, backslash and quote written as \n, \r, \t, \\ and \", other control characters
// as \x1B, so that a value is always one field of one line.
std::u16string listValue(std::u16string_view text);
// The same, appended in UTF-8.
void appendListValue(std::string& out, std::u16string_view text);

// One value's change, as its line in the list says it (without the table, column and row).
std::string describe(const ValueChange& change);

}  // namespace zestrel::upgrade
