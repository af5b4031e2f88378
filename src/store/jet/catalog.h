// The catalog: the rows of MSysObjects, whose definition is always on page 2.
// Each row names an object (table, container, query, ...) with its id, parent,
// type and flags; a table's id holds the page of its definition.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/jet/format.h"
#include "store/jet/page_file.h"

namespace zestrel::jet {

inline constexpr std::uint32_t kCatalogDefinitionPage = 2;
inline constexpr std::int16_t kObjectTypeTable = 1;
inline constexpr std::uint32_t kSystemObjectFlags = 0x80000002u;

struct CatalogEntry {
    std::int32_t id = 0;
    std::int32_t parentId = 0;
    std::u16string name;
    std::int16_t type = 0;
    std::int32_t flags = 0;
    std::vector<std::uint8_t> properties;  // the LvProp block, empty when there is none

    std::uint32_t definitionPage() const { return static_cast<std::uint32_t>(id) & 0x00FFFFFF; }
    bool isTable() const { return (type & 0x7F) == kObjectTypeTable; }
    bool isSystem() const { return (static_cast<std::uint32_t>(flags) & kSystemObjectFlags) != 0; }
};

class Catalog {
public:
    static Catalog read(PageFile& pages, const Format& format);

    const std::vector<CatalogEntry>& entries() const { return entries_; }
    // A local table by name, compared without regard to case; nullptr when there is none.
    const CatalogEntry* findTable(const std::u16string& name) const;
    // Local tables in catalog order; system tables only when asked for.
    std::vector<CatalogEntry> tables(bool includeSystem) const;

private:
    std::vector<CatalogEntry> entries_;
};

}  // namespace zestrel::jet
