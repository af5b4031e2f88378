#include "store/jet/check/database_check.h"

#include "store/jet/check/index_check.h"
#include "store/jet/check/page_survey.h"
#include "store/jet/check/table_check.h"
#include "store/jet/check/usage_map_check.h"
#include "text/utf8.h"
#include "store/jet/usage_map.h"

namespace zestrel::jet::check {

namespace {

constexpr RowPointer kFreePagesMap{1, 0};
constexpr RowPointer kSecondGlobalMap{1, 1};
constexpr std::size_t kDefinitionNextPage = 4;

void checkGlobalMap(CheckTarget& t) {
    if (t.pages.pageCount() < 2) {
        t.report.fault("the file has no page 1 for the global usage map");
        return;
    }
    t.accounting.use(0, "the database header");
    t.accounting.use(1, "the global usage map");
    const auto freePages = readMap(t.pages, t.format, kFreePagesMap, "the global usage map", t.report, true);
    if (!freePages) return;
    if (freePages->reachEnd < t.pages.pageCount())
        t.report.fault("the global usage map reaches only " + std::to_string(freePages->reachEnd) + " of the file's " +
                       std::to_string(t.pages.pageCount()) + " pages");
    for (std::uint32_t page : freePages->mapPages) t.accounting.use(page, "the global usage map");
    t.accounting.setFree(freePages->pages);
    if (const auto second = readMap(t.pages, t.format, kSecondGlobalMap, "page 1's second map", t.report, true))
        for (std::uint32_t page : second->mapPages) t.accounting.use(page, "page 1's second map");
}

void useDefinitionPages(CheckTarget& t, std::uint32_t first, const std::string& who) {
    for (std::uint32_t page = first, steps = 0; page != 0 && page < t.pages.pageCount() && steps < 1000; ++steps) {
        t.accounting.use(page, who);
        page = readU32(t.pages.page(page), kDefinitionNextPage);
    }
}

void checkCatalogTable(CheckTarget& t, const CatalogEntry& entry) {
    const std::string who = "table '" + text::toUtf8(entry.name) + "'";
    try {
        const TableDefinition table = readTableDefinition(t.pages, t.format, entry.definitionPage());
        TableDefinition named = table;
        named.name = entry.name;
        useDefinitionPages(t, table.page, who);
        const RowIdentities rows = checkTable(t, named);
        checkIndexes(t, named, rows);
        ++t.report.tablesChecked;
    } catch (const CorruptData& e) {
        t.report.fault(who + ": its definition cannot be read: " + e.what());
    }
}

void checkTables(CheckTarget& t, DatabaseFile& database) {
    for (const auto& entry : database.catalog().entries())
        if (entry.isTable()) checkCatalogTable(t, entry);  // local tables only; linked ones live elsewhere
}

// Each long-value page belongs to exactly one column; no page is lost.
void checkOwnership(CheckTarget& t) {
    for (std::uint32_t page = 0; page < t.pages.pageCount(); ++page) {
        const bool free = t.accounting.isFree(page);
        const bool used = t.accounting.inUse(page);
        if (t.survey[page].owner == kLongValueOwner && !free) {
            const auto users = t.accounting.usersOf(page);
            std::size_t columns = 0;
            for (const auto& who : users) columns += who.find(", column '") != std::string::npos ? 1 : 0;
            // What deleted rows or tables leave behind until the file is compacted.
            if (columns == 0)
                t.report.engineLeftover("long-value page " + std::to_string(page) +
                                        " belongs to no column (a leftover compaction reclaims)");
            if (columns > 1)
                t.report.fault("long-value page " + std::to_string(page) + " is in the maps of " + std::to_string(columns) +
                               " columns: " + users[0] + " and " + users[1]);
        }
        if (!used && !free && t.survey[page].type > kPageUsageMap)
            t.report.note("page " + std::to_string(page) + " (type " + std::to_string(t.survey[page].type) +
                          ") is of a kind this check does not follow");
        else if (!used && !free && t.survey[page].type == kPageDatabaseHeader)
            t.report.engineLeftover("page " + std::to_string(page) +
                                    " (type 0) was never used or was freed, and is not marked free");
        else if (!used && !free)
            t.report.engineLeftover("page " + std::to_string(page) + " (type " + std::to_string(t.survey[page].type) +
                                    ") is neither in use nor marked free (a leftover compaction reclaims)");
    }
}

}  // namespace

CheckReport checkDatabase(DatabaseFile& database, CheckMode mode) {
    CheckReport report;
    report.mode = mode;
    database.guarded([&] {
        PageFile& pages = database.pages();
        const auto survey = surveyPages(pages, database.format(), report);
        PageAccounting accounting(pages.pageCount());
        const PagesByOwner pagesByOwner = dataPagesByOwner(survey);
        CheckTarget target{pages, database.format(), survey, accounting, report, pagesByOwner};
        checkGlobalMap(target);
        checkTables(target, database);
        checkOwnership(target);
    });
    return report;
}

CheckReport checkTablesNamed(DatabaseFile& database, const std::vector<std::u16string>& names) {
    CheckReport report;
    database.guarded([&] {
        std::vector<const CatalogEntry*> tables;
        OwnerNames owners;
        for (const auto& name : names)
            if (const CatalogEntry* entry = database.catalog().findTable(name)) {
                tables.push_back(entry);
                owners[entry->definitionPage()] = "table '" + text::toUtf8(entry->name) + "'";
            }
        PageFile& pages = database.pages();
        const auto survey = surveyPages(pages, database.format(), report, &owners);
        PageAccounting accounting(pages.pageCount());
        const PagesByOwner pagesByOwner = dataPagesByOwner(survey);
        CheckTarget target{pages, database.format(), survey, accounting, report, pagesByOwner};
        for (const CatalogEntry* entry : tables) checkCatalogTable(target, *entry);
    });
    return report;
}

CheckReport checkDatabaseFile(const std::filesystem::path& path, CheckMode mode, std::optional<std::uint16_t> codePage) {
    auto database = DatabaseFile::open(path, codePage);
    return checkDatabase(*database, mode);
}

}  // namespace zestrel::jet::check
