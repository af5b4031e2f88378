// Whole tables read at once, for tests, benchmarks and fuzzers: every row of a table with its
// values decoded, and one row's bytes copied out. The programs read a table's rows one at a time
// (DatabaseFile::forEachRow, readRow), so these are kept here, out of them.
#pragma once

#include <cstdint>
#include <vector>

#include "store/jet/database_file.h"
#include "store/jet/table_reader.h"

namespace zestrel::test {

// Every live row of `table` in storage order, decoded; trouble is a Failure naming the file.
inline std::vector<jet::StoredRow> readRows(jet::DatabaseFile& db, const jet::TableDefinition& table) {
    return db.guarded([&] { return jet::readAllRows(db.pages(), db.format(), table); });
}

// The stored bytes of the row `at` leads to, copied into `row` (its storage reused).
inline void copyRow(jet::DatabaseFile& db, jet::RowPointer at, std::vector<std::uint8_t>& row) {
    const auto bytes = db.readRow(at, row);
    if (bytes.data() != row.data()) row.assign(bytes.begin(), bytes.end());
}

}  // namespace zestrel::test
