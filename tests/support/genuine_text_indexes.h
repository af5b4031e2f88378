// The text indexes of the genuine Jet 3 fixtures, read apart from the engine's
// own index reading (index_leaves.h): each entry's key bytes as the genuine
// engine wrote them, beside the values of its row's key columns, for tests
// that compare our keys and our order with the genuine engine's.
#pragma once

#include <string>
#include <vector>

#include "store/jet/database_file.h"

namespace zestrel::test {

struct GenuineIndexEntry {
    std::vector<std::uint8_t> key;  // without the row pointer
    std::vector<jet::Value> values;  // of the index's columns, in key order
    jet::RowPointer row;
};

struct GenuineTextIndex {
    std::string where;  // "file, table, index n", for messages
    std::filesystem::path file;
    std::u16string table;
    std::vector<std::size_t> positions;  // the key columns' positions in the table's definition
    std::vector<bool> descending;        // by key column
    std::vector<GenuineIndexEntry> entries;
};

// Every index with a Text column of every Jet 3 fixture, system tables' included; empty when the
// shared folder is absent.
std::vector<GenuineTextIndex> genuineTextIndexes();

}  // namespace zestrel::test
