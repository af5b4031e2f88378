// Checking one table: its owned-pages and free-space maps against the pages
// that name it, its row count, its long-value columns' maps and every
// long-value field of its live rows.
#pragma once

#include <set>
#include <vector>

#include "store/jet/check/check_report.h"
#include "store/jet/check/page_accounting.h"
#include "store/jet/check/page_survey.h"
#include "store/jet/format.h"
#include "store/jet/page_file.h"
#include "store/jet/row_list.h"
#include "store/jet/tdef_reader.h"

namespace zestrel::jet::check {

struct CheckTarget {
    PageFile& pages;
    const Format& format;
    const std::vector<PageInfo>& survey;
    PageAccounting& accounting;
    CheckReport& report;
    const PagesByOwner& pagesByOwner;
};

// The rows a table holds, each where an index entry points: a row's own slot, or the slot
// that keeps the pointer to where it moved.
// Encoded row pointers, ascending, each once; four bytes a row, so a large table checks in little memory.
using RowIdentities = RowList;

RowIdentities checkTable(CheckTarget& target, const TableDefinition& table);

}  // namespace zestrel::jet::check
