#include "store/jet/database_creator.h"

#include "store/jet/data_page_builder.h"
#include "store/jet/header_page.h"
#include "store/jet/index_page_builder.h"
#include "store/jet/page_allocator.h"
#include "store/jet/system_tables.h"
#include "store/jet/table_creator.h"

namespace zestrel::jet {

namespace {

void writeGlobalUsageMap(PageFile& pages, const Format& f) {
    const std::uint32_t number = pages.appendPage();
    auto page = pages.mutablePage(number);
    initDataPage(page, f, number);
    appendRow(page, f, newGlobalMapRow(number + 1));
    appendRow(page, f, emptyInlineMapRow());
}

void writeSystemTable(WriteContext& c, SystemTable& table) {
    TableSpec& spec = table.spec;
    spec.usageMap = newUsageMap(c.pages, c.format, c.state);
    spec.freeSpaceMap = newUsageMap(c.pages, c.format, c.state);
    for (auto& index : spec.indexes) {
        index.usageMap = newUsageMap(c.pages, c.format, c.state);
        index.firstPage = allocatePage(c.pages, c.format);
        buildLeafPage(c.pages.mutablePage(index.firstPage), table.page, {});
        markInUsageMap(c.pages, c.format, index.usageMap, index.firstPage, true, MapKind::Owned);
    }
    for (std::size_t i = 0; i < spec.columns.size(); ++i) {
        if (!isLongValue(spec.columns[i].type)) continue;
        const RowPointer used = newUsageMap(c.pages, c.format, c.state);
        spec.longValueMaps.push_back({static_cast<std::uint16_t>(i), used, newUsageMap(c.pages, c.format, c.state)});
    }
    const auto definition = buildTableDefinition(spec, c.format.pageSize);
    auto page = c.pages.mutablePage(table.page);
    std::copy(definition.begin(), definition.end(), page.begin());
}

}  // namespace

void writeNewJet3Database(platform::File file, DateTime now) {
    const Format& f = formatFor(JetVersion::Jet3);
    PageFile pages(std::move(file), f.pageSize);
    pages.enableWriting();
    WriterState state;
    WriteContext c{pages, f, state};

    const auto header = buildJet3HeaderPage();
    const std::uint32_t headerPage = pages.appendPage();
    std::copy(header.begin(), header.end(), pages.mutablePage(headerPage).begin());
    writeGlobalUsageMap(pages, f);

    auto tables = systemTables();
    for (std::size_t i = 0; i < tables.size(); ++i) allocatePage(pages, f);  // pages 2 to 5
    for (auto& table : tables) writeSystemTable(c, table);

    for (const auto& row : initialCatalogRows())
        addCatalogRow(c, row.id, row.parentId, row.name, row.type, row.owner, row.flags, {}, now);
    TableDefinition rights = readTableDefinition(pages, f, kMSysACEsPage);
    for (const auto& right : initialAccessRights())
        insertRow(c, rights, {right.objectId, Bytes(right.sid), right.rights, right.inheritable});
    rebuildIndexes(c, kMSysObjectsPage);
    rebuildIndexes(c, kMSysACEsPage);

    pages.flushAll();
    pages.sync();
    pages.close();
}

}  // namespace zestrel::jet
