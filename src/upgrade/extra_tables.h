// The tables of an old cookbook that the new layout has no place for.
//
// An upgrade copies Recipe and Ingred and writes its own Version; any other table of the old
// cookbook stays only in the backup, and the owner is told so rather than left to find out.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/dao/database.h"

namespace zestrel::upgrade {

struct ExtraTable {
    std::u16string name;
    std::optional<std::uint64_t> rows;  // nothing when the table cannot be read
};

// Every user table but Recipe, Ingred and Version (in any letter case), in the catalog's order.
std::vector<ExtraTable> tablesNotCarriedOver(dao::Database& source);

// "Table Xtra (1 row) was not carried over; it is in the backup." for each, joined by blanks.
std::u16string notCarriedOverText(const std::vector<ExtraTable>& tables);

}  // namespace zestrel::upgrade
