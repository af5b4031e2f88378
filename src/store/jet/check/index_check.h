// Checking a table's indexes: every leaf entry in key order across the leaf
// pages, one entry per row, each pointing at a row of the table (an index
// that ignores nulls has none for a row whose key columns are all null).
#pragma once

#include "store/jet/check/table_check.h"

namespace zestrel::jet::check {

void checkIndexes(CheckTarget& target, const TableDefinition& table, const RowIdentities& rows);

}  // namespace zestrel::jet::check
