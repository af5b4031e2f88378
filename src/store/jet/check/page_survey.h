// One pass over every page: its kind, the owner a data page names, and the
// checks a page allows on its own (a data page's row offsets and its
// free-space count, which must equal the page size less the header, the
// offset table and the bytes of every slot).
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/jet/check/check_report.h"
#include "store/jet/format.h"
#include "store/jet/page_file.h"

namespace zestrel::jet::check {

inline constexpr std::uint32_t kNoOwner = 0xFFFFFFFF;
inline constexpr std::uint32_t kLongValueOwner = 0xFFFFFFFE;  // an LVAL page

struct PageInfo {
    std::uint8_t type = 0;
    std::uint32_t owner = kNoOwner;  // data pages: the table definition page named, or kLongValueOwner
    bool readable = true;            // its row offsets make sense
};

// Table definition pages and the names their faults are given.
using OwnerNames = std::unordered_map<std::uint32_t, std::string>;

// With `only`, the faults of the data pages those tables own alone, each named by its table.
std::vector<PageInfo> surveyPages(PageFile& pages, const Format& format, CheckReport& report,
                                  const OwnerNames* only = nullptr);

// The data pages that name each table (by its definition page) as their owner, ascending: found in
// one pass over the survey, for all the tables.
using PagesByOwner = std::unordered_map<std::uint32_t, std::vector<std::uint32_t>>;
PagesByOwner dataPagesByOwner(const std::vector<PageInfo>& survey);

}  // namespace zestrel::jet::check
