// The structural check of a Jet 3 or Jet 4 file: every structure the genuine
// engine consults when it reads, allocates pages, grows a long value or
// frees space, checked against the others. Reading only; the file is never
// opened for writing.
//
// Checked: each data page's row offsets and free-space count; the global
// usage map on page 1 (it covers the whole file, and no page in use is
// marked free); every table's owned-pages map against the pages that name it
// as owner, its free-space map within its owned map, its row count against
// its live rows; each long-value column's maps (LVAL pages only, free within
// owned) and every long-value field of every live row (its rows live, on
// pages of that column, a chain without loops that holds the stated length);
// every LVAL page owned by at most one column; every index of every table
// complete (one entry per live row, pointing at it), in key order, its pages
// never naming themselves as the next page; and that no page is lost (neither
// in use nor free). A stale row count, a page no map owns and a long-value
// page no column owns are notes, as the genuine engine leaves them until the
// file is compacted, unless the mode is strict (check_report.h).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "store/jet/check/check_report.h"
#include "store/jet/database_file.h"

namespace zestrel::jet::check {

CheckReport checkDatabase(DatabaseFile& database, CheckMode mode = CheckMode::AnyFile);

// The tables named alone, as a copy of them reads them: the data pages that name them, their maps,
// rows, long values and indexes, every fault named by its table. The rest of the file (other
// tables, the global map, pages no one owns) is not looked at; leftovers the genuine engine
// tolerates are notes.
CheckReport checkTablesNamed(DatabaseFile& database, const std::vector<std::u16string>& names);

// Opens the file to read and checks it; a file that cannot be opened raises the usual Failure.
// With `codePage`, Jet 3 text is read in that code page whatever the header names.
CheckReport checkDatabaseFile(const std::filesystem::path& path, CheckMode mode = CheckMode::AnyFile,
                              std::optional<std::uint16_t> codePage = std::nullopt);

}  // namespace zestrel::jet::check
