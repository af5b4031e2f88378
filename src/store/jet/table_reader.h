// Walking the rows of one table in storage order: the pages its usage map
// marks (ascending), and on each page the live rows in slot order. A row that
// grew and moved to another page is listed there, where it now lives.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "store/jet/format.h"
#include "store/jet/page_file.h"
#include "store/jet/tdef_reader.h"
#include "store/jet/value.h"

namespace zestrel::jet {

struct StoredRow {
    RowPointer location;  // the slot the row lives in
    std::vector<Value> values;
};

// The data pages of a table: pages of its usage map that are data pages owned by it.
std::vector<std::uint32_t> dataPagesOf(PageFile& pages, const Format& format, const TableDefinition& table);

using RowVisitor = std::function<void(RowPointer location, std::span<const std::uint8_t> row)>;
void forEachRow(PageFile& pages, const Format& format, const TableDefinition& table, const RowVisitor& visit);

std::vector<StoredRow> readAllRows(PageFile& pages, const Format& format, const TableDefinition& table);

}  // namespace zestrel::jet
