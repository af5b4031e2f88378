// Adding and changing the rows of a Jet 3 table.
//
// Values must already have each column's type (the layer above converts
// them). A new row goes to the table's current page, or to a new page that
// joins the table's usage map; the row count in the definition follows. A
// changed row stays in its slot when its page has room, else it moves to
// another page and leaves a pointer in its slot, so every pointer to it stays
// good. Tables with indexes of their own are not written: their indexes would
// go stale. A row may take at most 2,012 bytes, as in the genuine engine: long
// values of up to 32 bytes stay inline unless the row would pass that (the
// catalog's property blocks never do), and a row that does not fit even with
// every long value stored apart is refused (3047).
#pragma once

#include <cstdint>
#include <vector>

#include "store/jet/format.h"
#include "store/jet/page_file.h"
#include "store/jet/row_builder.h"
#include "store/jet/tdef_reader.h"
#include "store/jet/value.h"
#include "store/jet/writer_state.h"

namespace zestrel::jet {

inline constexpr std::size_t kMaxRecordSize = 2012;

struct WriteContext {
    PageFile& pages;
    const Format& format;
    WriterState& state;
};

// Stores the row's long values (Memo, OLE) that are not null: each is kept in the row when small
// (and not a catalog property block) and the row has room, else written to its column's pages
// now. Returns the field each takes in the row, by column position (empty when the table has none
// to store). Refuses a row that cannot fit (3047) before writing anything.
std::span<const std::span<const std::uint8_t>> storeLongValues(WriteContext& context, const TableDefinition& table,
                                                              const RowLayout& layout, RowValues values);

// `layout` is the table's (RowLayout(table, context.format)), made once for the rows of many writes.
RowPointer insertRow(WriteContext& context, TableDefinition& table, const RowLayout& layout, RowValues values);
RowPointer insertRow(WriteContext& context, TableDefinition& table, const std::vector<Value>& values);

// Replaces the row living at `at`; returns where it lives afterwards.
RowPointer updateRow(WriteContext& context, const TableDefinition& table, const RowLayout& layout, RowPointer at,
                     RowValues values);

// Refuses writing to tables this engine cannot keep consistent (a user table's own indexes, Jet 4 files).
void checkWritable(const TableDefinition& table, const Format& format);

}  // namespace zestrel::jet
