// The order ORDER BY gives rows: by one column, nulls first, numbers by value,
// texts in the General sort order, binary values and GUIDs by their bytes,
// rows with equal values in their stored order.
//
// Each row's value becomes a key of bytes once, and rows are sorted by those
// keys, so no value is decoded or weighed more than once however many
// comparisons the sort makes.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "store/jet/database_file.h"

namespace zestrel::dao {

// Appends a key for `value`: keys of values of one column compare, as unsigned bytes, as the values do.
void appendSortKey(const jet::Value& value, std::string& out);

// A sort of more rows than this sorts them in parts of this many, when it has a folder to spill into.
inline constexpr std::size_t kRowsSortedInMemory = std::size_t{1} << 18;

// Where a sort of many rows keeps the parts it has sorted while it reads the rest (the program's
// folder, say), and how many rows a part holds. No folder: the sort is done in memory.
struct SortSpill {
    std::filesystem::path folder;
    std::size_t rowsInMemory = kRowsSortedInMemory;
};

// Where the rows of `table` live, in the order of column `column`.
jet::RowList sortedLocations(jet::DatabaseFile& file, const jet::TableDefinition& table, std::size_t column,
                             const SortSpill& spill = {});

}  // namespace zestrel::dao
