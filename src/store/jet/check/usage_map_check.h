// Reading usage maps for the checker: what a map marks, and the usage-map
// pages a reference map uses, with damage reported rather than thrown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/jet/check/check_report.h"
#include "store/jet/check/page_set.h"
#include "store/jet/format.h"
#include "store/jet/page_file.h"

namespace zestrel::jet::check {

struct MapContents {
    PageSet pages;                          // marked pages within the file
    std::vector<std::uint32_t> mapPages;    // usage-map pages of a reference map
    std::uint32_t holder = 0;               // the data page the map row lives on
    std::uint64_t reachEnd = 0;             // one past the last page an inline map can mark
    bool inlineMap = true;
};

// Nothing (and a note) for a null pointer, which the genuine engine leaves in some definitions;
// nothing (and a fault naming `what`) for a map that cannot be read.
std::optional<MapContents> readMap(PageFile& pages, const Format& format, RowPointer where, const std::string& what,
                                   CheckReport& report, bool pastEndIsFree = false);

}  // namespace zestrel::jet::check
