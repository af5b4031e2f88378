// Creating a user table in a Jet 3 database: its definition page, its usage
// maps (pages, pages with room, and those of each long-value column), its
// catalog row with the property block that holds AllowZeroLength, its access
// rights, and the catalog's indexes brought up to date.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/jet/table_writer.h"
#include "store/jet/tdef_builder.h"

namespace zestrel::jet {

struct NewColumn {
    ColumnSpec spec;
    bool allowZeroLength = false;
};

// Returns the new table's definition page (its catalog id). The caller has checked the name is free.
std::uint32_t createUserTable(WriteContext& context, const std::u16string& name, const std::vector<NewColumn>& columns,
                              DateTime now);

// Appends a catalog row and the rows of its access rights.
void addCatalogRow(WriteContext& context, std::int32_t id, std::int32_t parentId, const std::u16string& name,
                   std::int16_t type, const std::vector<std::uint8_t>& owner, std::int32_t flags,
                   const std::vector<std::uint8_t>& properties, DateTime now);

// Rewrites every index of a system table from its rows.
void rebuildIndexes(WriteContext& context, std::uint32_t tablePage);

}  // namespace zestrel::jet
