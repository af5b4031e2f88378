#include "store/jet/table_creator.h"

#include <set>

#include "store/jet/catalog.h"
#include "store/jet/failure.h"
#include "store/jet/index_key.h"
#include "store/jet/index_page_builder.h"
#include "store/jet/page_allocator.h"
#include "store/jet/properties.h"
#include "store/jet/system_tables.h"
#include "store/jet/table_reader.h"
#include "text/utf8.h"

namespace zestrel::jet {

namespace {

std::vector<std::u16string> zeroLengthColumns(const std::vector<NewColumn>& columns) {
    std::vector<std::u16string> names;
    for (const auto& c : columns)
        if (c.allowZeroLength) names.push_back(c.spec.name);
    return names;
}

std::vector<std::uint8_t> keyOf(const TableDefinition& table, const RealIndexDefinition& index,
                                const std::vector<Value>& values) {
    std::vector<std::uint8_t> key;
    for (std::uint16_t number : index.columns) {
        const Value& v = values.at(table.positionOf(number));
        if (isNull(v)) {
            key.push_back(kKeyNull);
        } else if (auto* n = std::get_if<std::int32_t>(&v)) {
            appendLongKey(key, *n);
        } else if (auto* text = std::get_if<std::u16string>(&v)) {
            if (!appendTextKey(key, *text))
                throw Failure(failure::kOperationNotSupported,
                              "Cannot index the name '" + text::toUtf8(*text) + "': it has a character this program cannot sort.");
        } else {
            throw Failure(failure::kOperationNotSupported, "Cannot index a value of this type.");
        }
    }
    return key;
}

std::size_t distinctKeys(const std::vector<IndexEntry>& entries) {
    std::set<std::vector<std::uint8_t>> keys;
    for (const auto& entry : entries) keys.insert(entry.key);
    return keys.size();
}

}  // namespace

void rebuildIndexes(WriteContext& c, std::uint32_t tablePage) {
    const TableDefinition table = readTableDefinition(c.pages, c.format, tablePage);
    if (table.realIndexes.empty()) return;
    const auto rows = readAllRows(c.pages, c.format, table);
    for (std::size_t i = 0; i < table.realIndexes.size(); ++i) {
        const RealIndexDefinition& index = table.realIndexes[i];
        std::vector<IndexEntry> entries;
        for (const auto& row : rows) entries.push_back({keyOf(table, index, row.values), row.location});
        if (!fitsOnLeafPage(entries, c.format.pageSize))
            throw Failure(failure::kOperationNotSupported, "The catalog is full: this program keeps it on one index page.");
        // The definition keeps the number of distinct keys of each index, as the genuine engine does.
        const auto distinct = static_cast<std::uint32_t>(distinctKeys(entries));
        buildLeafPage(c.pages.mutablePage(index.firstPage), tablePage, std::move(entries));
        writeU32(c.pages.mutablePage(tablePage), kTdefRealIndexCountsOffset + 8 * i + 4, distinct);
    }
}

void addCatalogRow(WriteContext& c, std::int32_t id, std::int32_t parentId, const std::u16string& name, std::int16_t type,
                   const std::vector<std::uint8_t>& owner, std::int32_t flags, const std::vector<std::uint8_t>& properties,
                   DateTime now) {
    TableDefinition catalog = readTableDefinition(c.pages, c.format, kMSysObjectsPage);
    std::vector<Value> values(catalog.columns.size(), Null{});
    auto set = [&](const char16_t* column, Value v) {
        for (std::size_t i = 0; i < catalog.columns.size(); ++i)
            if (catalog.columns[i].name == column) values[i] = std::move(v);
    };
    set(u"Id", id);
    set(u"ParentId", parentId);
    set(u"Name", name);
    set(u"Type", type);
    set(u"DateCreate", now);
    set(u"DateUpdate", now);
    set(u"Owner", Bytes(owner));
    set(u"Flags", flags);
    if (!properties.empty()) set(u"LvProp", Bytes(properties));
    insertRow(c, catalog, values);
}

std::uint32_t createUserTable(WriteContext& c, const std::u16string& name, const std::vector<NewColumn>& columns,
                              DateTime now) {
    if (!hasTextKey(name))
        throw Failure(failure::kOperationNotSupported,
                      "Cannot create table '" + text::toUtf8(name) + "': its name has a character this program cannot sort.");
    const std::uint32_t page = allocatePage(c.pages, c.format);
    // The table's maps get a page of their own, so that its owned-pages maps can grow inline.
    startUsageMapPage(c.pages, c.format, c.state);
    TableSpec spec;
    spec.usageMap = newUsageMap(c.pages, c.format, c.state);
    spec.freeSpaceMap = newUsageMap(c.pages, c.format, c.state);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        spec.columns.push_back(columns[i].spec);
        if (isLongValue(columns[i].spec.type)) {
            const RowPointer used = newUsageMap(c.pages, c.format, c.state);
            spec.longValueMaps.push_back({static_cast<std::uint16_t>(i), used, newUsageMap(c.pages, c.format, c.state)});
        }
    }
    const auto definition = buildTableDefinition(spec, c.format.pageSize);
    auto target = c.pages.mutablePage(page);
    std::copy(definition.begin(), definition.end(), target.begin());

    const auto id = static_cast<std::int32_t>(page);
    addCatalogRow(c, id, kTablesContainerId, name, kObjectTypeTable, kAdminSid, 0,
                  buildAllowZeroLengthBlock(zeroLengthColumns(columns)), now);
    TableDefinition rights = readTableDefinition(c.pages, c.format, kMSysACEsPage);
    for (const auto& right : userTableAccessRights(id))
        insertRow(c, rights, {right.objectId, Bytes(right.sid), right.rights, right.inheritable});
    rebuildIndexes(c, kMSysObjectsPage);
    rebuildIndexes(c, kMSysACEsPage);
    return page;
}

}  // namespace zestrel::jet
