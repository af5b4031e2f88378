#include "store/jet/table_reader.h"

#include "store/jet/data_page.h"
#include "store/jet/row_decoder.h"
#include "text/utf8.h"
#include "store/jet/usage_map.h"

namespace zestrel::jet {

namespace {

// A moved row leaves a pointer behind; a row moved again has its first slot repointed, and the
// place it left leads on to the next. A location listed between moves leads to its row in as many
// steps as the row moved since; far more means the pointers form a loop.
constexpr int kMaxPointerSteps = 1024;

// The global usage map: the pages of the file that are free.
constexpr RowPointer kFreePagesMap{1, 0};

std::string nameOf(const TableDefinition& table) {
    if (!table.name.empty()) return "table " + text::toUtf8(table.name);
    return "the table defined on page " + std::to_string(table.page);
}

std::uint32_t liveRowsOn(std::span<const std::uint8_t> page, const Format& f) {
    std::uint32_t live = 0;
    const std::uint16_t count = rowCountOf(page, f);
    for (std::uint16_t i = 0; i < count; ++i)
        if (rowSlot(page, f, i).live) ++live;
    return live;
}

// Page `number`, which the table's usage map lists: it must be a data page of the table.
std::span<const std::uint8_t> ownedDataPage(PageFile& pages, const TableDefinition& table, std::uint32_t number) {
    auto page = pages.page(number);
    if (page[0] != kPageData || tableOfDataPage(page) != table.page)
        throw CorruptData(nameOf(table) + ": its usage map lists page " + std::to_string(number) +
                          ", which holds no rows of it");
    return page;
}

// Each data page the table's usage map lists, checked as it is read, in one pass: visit(number, page).
template <typename Visit>
void forEachOwnedDataPage(PageFile& pages, const Format& f, const TableDefinition& table, Visit&& visit) {
    for (std::uint32_t number : readUsageMap(pages, f, table.usageMap)) {
        pages.trim();
        pages.passed(number);
        if (!visit(number, ownedDataPage(pages, table, number))) return;
    }
}

}  // namespace

std::vector<std::uint32_t> dataPagesOf(PageFile& pages, const Format& f, const TableDefinition& table) {
    std::vector<std::uint32_t> owned;
    forEachOwnedDataPage(pages, f, table, [&](std::uint32_t number, std::span<const std::uint8_t>) {
        owned.push_back(number);
        return true;
    });
    return owned;
}

std::map<std::uint32_t, std::uint64_t> rowsOnOwnedPages(PageFile& pages, const Format& f) {
    const auto freeList = readUsageMap(pages, f, kFreePagesMap, PastEnd::Skip);
    std::vector<bool> free(pages.pageCount(), false);
    for (std::uint32_t number : freeList)
        if (number < free.size()) free[number] = true;
    std::map<std::uint32_t, std::uint64_t> rows;
    for (std::uint32_t number = 1; number < pages.pageCount(); ++number) {
        if (free[number]) continue;
        pages.trim();
        pages.passed(number);
        auto page = pages.page(number);
        if (page[0] == kPageData) rows[tableOfDataPage(page)] += liveRowsOn(page, f);
    }
    return rows;
}

void forEachRowWhile(PageFile& pages, const Format& f, const TableDefinition& table, const RowPredicate& visit) {
    forEachOwnedDataPage(pages, f, table, [&](std::uint32_t number, std::span<const std::uint8_t> page) {
        const std::uint16_t count = rowCountOf(page, f);
        for (std::uint16_t i = 0; i < count; ++i) {
            const RowSlot slot = rowSlot(page, f, i);
            if (!slot.live) continue;
            if (!visit(RowPointer{number, static_cast<std::uint8_t>(i)}, page.subspan(slot.start, slot.end - slot.start)))
                return false;
        }
        return true;
    });
}

void forEachRow(PageFile& pages, const Format& f, const TableDefinition& table, const RowVisitor& visit) {
    forEachRowWhile(pages, f, table, [&](RowPointer location, std::span<const std::uint8_t> row) {
        visit(location, row);
        return true;
    });
}

std::vector<StoredRow> readAllRows(PageFile& pages, const Format& f, const TableDefinition& table) {
    std::vector<StoredRow> rows;
    const RowLocator locate(table, f);
    forEachRow(pages, f, table, [&](RowPointer location, std::span<const std::uint8_t> row) {
        rows.push_back({location, decodeRow(row, table, locate, pages)});
    });
    return rows;
}

RowList rowLocations(PageFile& pages, const Format& f, const TableDefinition& table) {
    RowList locations;
    forEachOwnedDataPage(pages, f, table, [&](std::uint32_t number, std::span<const std::uint8_t> page) {
        const std::uint16_t count = rowCountOf(page, f);
        for (std::uint16_t i = 0; i < count; ++i)
            if (rowSlot(page, f, i).live) locations.push_back(RowPointer{number, static_cast<std::uint8_t>(i)}.encode());
        return true;
    });
    return locations;
}

std::span<const std::uint8_t> rowAt(PageFile& pages, const Format& f, RowPointer at) {
    for (int step = 0; step < kMaxPointerSteps; ++step) {
        auto page = pages.page(at.page);
        if (page[0] != kPageData) throw CorruptData("a row pointer leads to a page that holds no rows");
        const RowSlot slot = rowSlot(page, f, at.row);
        if (slot.live) return page.subspan(slot.start, slot.end - slot.start);
        if (slot.end < slot.start + 4 || slot.end > page.size()) throw CorruptData("a pointer leads to a deleted row");
        at = RowPointer::decode(readU32(page, slot.start));
    }
    throw CorruptData("the pointers of a moved row form a loop");
}

}  // namespace zestrel::jet
