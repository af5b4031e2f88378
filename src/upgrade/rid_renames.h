// Recipes that stay apart. The rID ties a recipe to its ingredient rows, and the new cookbook
// stores text in code page 1252: two rIDs that differ only in characters the page lacks ("Żur"
// and "Zur", or two Cyrillic rIDs of one length, which become "????") would come out equal, and
// the cookbook program would then give each recipe the other's ingredients. Before the copy, the
// recipes' rIDs are compared as the engine matches text (case does not count, accents do) both as
// the old cookbook holds them and as the new one will store them. When two that were distinct
// become equal, the later recipe in rID order gets a new rID, the converted text with "~2" (or
// "~3", ...) at its end, cut so that it fits the column; every ingredient row of that recipe gets
// the same new rID, and nothing else does. Recipes that already share one rID in the old cookbook
// are left as they are and named, since their ingredients cannot be told apart anyway.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/dao/database.h"
#include "upgrade/column_map.h"
#include "upgrade/rid_rename.h"

namespace zestrel::upgrade {

// Recipes that share one rID in the old cookbook: the rID and the recipes' names.
struct SharedRid {
    std::u16string rid;
    std::vector<std::u16string> recipes;
};

class RidRenames {
public:
    // Reads the rIDs of the source's Recipe table, in rID order, and works out which recipes
    // need a new rID. `layout` gives how the recipe copy converts its rID (cut to 50 characters
    // from layout 1.0, as is from layout 1.1).
    static RidRenames plan(dao::Database& source, Layout layout);

    bool empty() const { return byKey_.empty(); }
    std::size_t size() const { return byKey_.size(); }
    // The rename of the recipe whose rID matches `rid` as the engine matches text; else none.
    const RidRename* find(const std::u16string& rid) const;
    const std::vector<SharedRid>& shared() const { return shared_; }
    // Every rename, in the recipes' rID order.
    std::vector<const RidRename*> inOrder() const;

private:
    std::unordered_map<std::string, RidRename> byKey_;
    std::vector<std::string> order_;
    std::vector<SharedRid> shared_;
};

// The lines the list of changes opens with for recipes that share one rID in the old cookbook.
std::vector<std::u16string> sharedRidLines(const RidRenames& renames);

// The key under which two rIDs match as the engine matches text: equal keys exactly for texts
// that differ at most in case.
std::string ridMatchKey(const std::u16string& rid);

// The new rID for `converted` numbered `number` (2, 3, ...): "~" and the number at its end, the
// text cut so that the whole fits `room` characters.
std::u16string numberedRid(const std::u16string& converted, std::size_t number, std::size_t room);

}  // namespace zestrel::upgrade
