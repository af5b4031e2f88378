// Walking the rows of one table in storage order: the pages its usage map
// marks (ascending), and on each page the live rows in slot order. A row that
// grew and moved to another page is listed there, where it now lives.
//
// Walks go one page at a time and let the page cache shrink between pages, so
// a table of any size is read in bounded memory; a visitor gets the row's
// bytes and may read other pages (long values) while it runs.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <vector>

#include "store/jet/format.h"
#include "store/jet/page_file.h"
#include "store/jet/row_list.h"
#include "store/jet/tdef_reader.h"
#include "store/jet/value.h"

namespace zestrel::jet {

struct StoredRow {
    RowPointer location;  // the slot the row lives in
    std::vector<Value> values;
};

// The data pages of a table: the pages of its usage map. A listed page that is not a data page
// owned by the table is damage (CorruptData naming the table and the page), never skipped: its
// rows, wherever they went, would be missing from every walk without a word.
std::vector<std::uint32_t> dataPagesOf(PageFile& pages, const Format& format, const TableDefinition& table);

// The live rows on every data page in use (not marked free by the global usage map), counted by
// the table each page names as its owner (the page of its definition). A walk of a sound table
// meets exactly as many; fewer means rows lie on pages its usage map does not list.
std::map<std::uint32_t, std::uint64_t> rowsOnOwnedPages(PageFile& pages, const Format& format);

using RowVisitor = std::function<void(RowPointer location, std::span<const std::uint8_t> row)>;
void forEachRow(PageFile& pages, const Format& format, const TableDefinition& table, const RowVisitor& visit);

// The same walk, ended early when `visit` returns false.
using RowPredicate = std::function<bool(RowPointer location, std::span<const std::uint8_t> row)>;
void forEachRowWhile(PageFile& pages, const Format& format, const TableDefinition& table, const RowPredicate& visit);

std::vector<StoredRow> readAllRows(PageFile& pages, const Format& format, const TableDefinition& table);

// Room to set aside for a list of the table's rows: the count its definition keeps, within a
// bound, since a damaged definition may claim any count.
inline std::size_t expectedRows(const TableDefinition& table) {
    return std::min<std::size_t>(table.rowCount, std::size_t{1} << 22);
}

// Where each live row lives, in storage order.
RowList rowLocations(PageFile& pages, const Format& format, const TableDefinition& table);

// The bytes of the row that `at` leads to. A slot a row moved away from holds a pointer to
// its new place, which is followed, so a location taken before an update stays good.
std::span<const std::uint8_t> rowAt(PageFile& pages, const Format& format, RowPointer at);

}  // namespace zestrel::jet
