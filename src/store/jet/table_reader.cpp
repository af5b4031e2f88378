#include "store/jet/table_reader.h"

#include "store/jet/data_page.h"
#include "store/jet/row_decoder.h"
#include "store/jet/usage_map.h"

namespace zestrel::jet {

std::vector<std::uint32_t> dataPagesOf(PageFile& pages, const Format& f, const TableDefinition& table) {
    std::vector<std::uint32_t> owned;
    for (std::uint32_t number : readUsageMap(pages, f, table.usageMap)) {
        auto page = pages.page(number);
        if (page[0] == kPageData && tableOfDataPage(page) == table.page) owned.push_back(number);
    }
    return owned;
}

void forEachRow(PageFile& pages, const Format& f, const TableDefinition& table, const RowVisitor& visit) {
    for (std::uint32_t number : dataPagesOf(pages, f, table)) {
        auto page = pages.page(number);
        const std::uint16_t count = rowCountOf(page, f);
        for (std::uint16_t i = 0; i < count; ++i) {
            const RowSlot slot = rowSlot(page, f, i);
            if (!slot.live) continue;
            visit(RowPointer{number, static_cast<std::uint8_t>(i)}, page.subspan(slot.start, slot.end - slot.start));
        }
    }
}

std::vector<StoredRow> readAllRows(PageFile& pages, const Format& f, const TableDefinition& table) {
    std::vector<StoredRow> rows;
    forEachRow(pages, f, table, [&](RowPointer location, std::span<const std::uint8_t> row) {
        rows.push_back({location, decodeRow(row, table, f, pages)});
    });
    return rows;
}

}  // namespace zestrel::jet
