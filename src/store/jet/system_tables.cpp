#include "store/jet/system_tables.h"

namespace zestrel::jet {

namespace {

// Column flags of the engine's own tables: fixed or variable, nullable, and a
// system bit (0x10); Owner and SID carry 0x20 as well.
constexpr std::uint8_t kSysFixed = 0x13;
constexpr std::uint8_t kSysVariable = 0x12;
constexpr std::uint8_t kSysSid = 0x32;

ColumnSpec col(const char16_t* name, ColumnType type, std::uint16_t size, std::uint8_t flags) {
    return {name, type, size, flags};
}

IndexSpec index(const char16_t* name, std::vector<std::uint16_t> columns, std::uint8_t flags, std::uint8_t type) {
    IndexSpec spec;
    spec.name = name;
    spec.columns = std::move(columns);
    spec.flags = flags;
    spec.logicalType = type;
    return spec;
}

TableSpec systemSpec(std::vector<ColumnSpec> columns, std::vector<IndexSpec> indexes) {
    TableSpec spec;
    spec.tableType = kTableTypeSystem;
    spec.columns = std::move(columns);
    spec.indexes = std::move(indexes);
    return spec;
}

}  // namespace

std::vector<SystemTable> systemTables() {
    using T = ColumnType;
    return {
        {kMSysObjectsPage, u"MSysObjects",
         systemSpec({col(u"Id", T::Long, 4, kSysFixed), col(u"ParentId", T::Long, 4, kSysFixed),
                     col(u"Name", T::Text, 255, kSysVariable), col(u"Type", T::Integer, 2, kSysFixed),
                     col(u"DateCreate", T::DateTime, 8, kSysFixed), col(u"DateUpdate", T::DateTime, 8, kSysFixed),
                     col(u"Owner", T::Binary, 255, kSysSid), col(u"Flags", T::Long, 4, kSysFixed),
                     col(u"Database", T::Memo, 0, kSysVariable), col(u"Connect", T::Memo, 0, kSysVariable),
                     col(u"ForeignName", T::Text, 255, kSysVariable), col(u"RmtInfoShort", T::Binary, 255, kSysVariable),
                     col(u"RmtInfoLong", T::OLE, 0, kSysVariable), col(u"Lv", T::OLE, 0, kSysVariable),
                     col(u"LvProp", T::OLE, 0, kSysVariable), col(u"LvModule", T::OLE, 0, kSysVariable),
                     col(u"LvExtra", T::OLE, 0, kSysVariable)},
                    {index(u"ParentIdName", {1, 2}, 0x01, 0), index(u"Id", {0}, 0x01, 1)})},
        {kMSysACEsPage, u"MSysACEs",
         systemSpec({col(u"ObjectId", T::Long, 4, kSysFixed), col(u"SID", T::Binary, 255, kSysSid),
                     col(u"ACM", T::Long, 4, kSysFixed), col(u"FInheritable", T::Boolean, 1, kSysFixed)},
                    {index(u"ObjectId", {0}, 0x08, 0)})},
        {kMSysQueriesPage, u"MSysQueries",
         systemSpec({col(u"ObjectId", T::Long, 4, kSysFixed), col(u"Attribute", T::Byte, 1, kSysFixed),
                     col(u"Order", T::Binary, 255, kSysVariable), col(u"Name1", T::Text, 255, kSysVariable),
                     col(u"Name2", T::Text, 255, kSysVariable), col(u"Expression", T::Memo, 0, kSysVariable),
                     col(u"Flag", T::Integer, 2, kSysFixed)},
                    {index(u"ObjectIdAttribute", {0, 1, 2}, 0x01, 1)})},
        {kMSysRelationshipsPage, u"MSysRelationships",
         systemSpec({col(u"szRelationship", T::Text, 255, kSysVariable), col(u"grbit", T::Long, 4, kSysFixed),
                     col(u"ccolumn", T::Long, 4, kSysFixed), col(u"icolumn", T::Long, 4, kSysFixed),
                     col(u"szObject", T::Text, 255, kSysVariable), col(u"szColumn", T::Text, 255, kSysVariable),
                     col(u"szReferencedObject", T::Text, 255, kSysVariable),
                     col(u"szReferencedColumn", T::Text, 255, kSysVariable)},
                    {index(u"szRelationship", {0}, 0x02, 0), index(u"szObject", {4}, 0x02, 0),
                     index(u"szReferencedObject", {6}, 0x02, 0)})},
    };
}

std::vector<CatalogRow> initialCatalogRows() {
    return {
        {kTablesContainerId, kRootContainerId, u"Tables", 3, kEngineSid, kSystemObjectFlag},
        {kDatabasesContainerId, kRootContainerId, u"Databases", 3, kEngineSid, kSystemObjectFlag},
        {kRelationshipsContainerId, kRootContainerId, u"Relationships", 3, kEngineSid, kSystemObjectFlag},
        {kMSysDbId, kDatabasesContainerId, u"MSysDb", 2, kAdminSid, kSystemObjectFlag},
        {kMSysObjectsPage, kTablesContainerId, u"MSysObjects", 1, kEngineSid, kSystemObjectFlag},
        {kMSysACEsPage, kTablesContainerId, u"MSysACEs", 1, kEngineSid, kSystemObjectFlag},
        {kMSysQueriesPage, kTablesContainerId, u"MSysQueries", 1, kEngineSid, kSystemObjectFlag},
        {kMSysRelationshipsPage, kTablesContainerId, u"MSysRelationships", 1, kEngineSid, kSystemObjectFlag},
    };
}

std::vector<AccessRight> initialAccessRights() {
    return {
        {kMSysObjectsPage, kAdminSid, 393216, false},
        {kMSysACEsPage, kAdminSid, 393216, false},
        {kMSysQueriesPage, kAdminSid, 393216, false},
        {kMSysRelationshipsPage, kAdminSid, 917504, false},
        {kTablesContainerId, kCreatorSid, 983294, true},
        {kTablesContainerId, kAdminSid, kFullRights, true},
        {kRelationshipsContainerId, kCreatorSid, 983294, true},
        {kRelationshipsContainerId, kAdminSid, 393217, false},
        {kDatabasesContainerId, kAdminSid, 393216, false},
        {kMSysDbId, kAdminSid, 393230, false},
        {kMSysDbId, kUsersSid, 14, false},
        {kMSysQueriesPage, kUsersSid, 20, false},
        {kMSysRelationshipsPage, kUsersSid, 20, false},
        {kMSysObjectsPage, kUsersSid, 20, false},
        {kTablesContainerId, kUsersSid, kFullRights, true},
        {kRelationshipsContainerId, kUsersSid, 1048575, true},
    };
}

std::vector<AccessRight> userTableAccessRights(std::int32_t tableId) {
    return {{tableId, kAdminSid, kFullRights, false}, {tableId, kUsersSid, kFullRights, false}};
}

}  // namespace zestrel::jet
