// The engine's own tables and catalog rows, as every database it creates
// holds them: the definitions of MSysObjects, MSysACEs, MSysQueries and
// MSysRelationships (pages 2 to 5), the containers, MSysDb, and the access
// rights rows that let any default installation open the objects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/jet/tdef_builder.h"

namespace zestrel::jet {

inline constexpr std::int32_t kRootContainerId = 251658240;      // 0x0F000000
inline constexpr std::int32_t kTablesContainerId = 251658241;
inline constexpr std::int32_t kDatabasesContainerId = 251658242;
inline constexpr std::int32_t kRelationshipsContainerId = 251658243;
inline constexpr std::int32_t kMSysDbId = 268435456;             // 0x10000000
inline constexpr std::int32_t kSystemObjectFlag = static_cast<std::int32_t>(0x80000000u);
inline constexpr std::int32_t kFullRights = 1048319;

inline constexpr std::uint32_t kMSysObjectsPage = 2;
inline constexpr std::uint32_t kMSysACEsPage = 3;
inline constexpr std::uint32_t kMSysQueriesPage = 4;
inline constexpr std::uint32_t kMSysRelationshipsPage = 5;

// Security ids: the Admin user and the Users group are the same in every
// workgroup; 02 03 is the engine itself, 02 04 the creator of an object.
inline const std::vector<std::uint8_t> kAdminSid{0x03, 0x01};
inline const std::vector<std::uint8_t> kUsersSid{0x02, 0x01};
inline const std::vector<std::uint8_t> kEngineSid{0x02, 0x03};
inline const std::vector<std::uint8_t> kCreatorSid{0x02, 0x04};

struct SystemTable {
    std::uint32_t page;
    std::u16string name;
    TableSpec spec;  // without usage maps and index pages, which the creator allocates
};

std::vector<SystemTable> systemTables();

struct CatalogRow {
    std::int32_t id;
    std::int32_t parentId;
    std::u16string name;
    std::int16_t type;
    std::vector<std::uint8_t> owner;
    std::int32_t flags;
};

// The catalog rows of a new database, in the order the engine writes them.
std::vector<CatalogRow> initialCatalogRows();

struct AccessRight {
    std::int32_t objectId;
    std::vector<std::uint8_t> sid;
    std::int32_t rights;
    bool inheritable;
};

std::vector<AccessRight> initialAccessRights();
// The rights a new user table gets: full rights for the Admin user and the Users group.
std::vector<AccessRight> userTableAccessRights(std::int32_t tableId);

}  // namespace zestrel::jet
