// Allocating pages and keeping the usage maps that say who owns them.
//
// New pages are added at the end of the file. The global usage map (page 1,
// row 0) lists the pages that are still free; a new page leaves it. A table's
// usage map lists its pages: inline (a first page and a bitmap) while its pages
// fall within the bitmap's reach, else indirect (pointers to bitmap pages).
// Usage-map rows keep their length, so they are changed in place.
#pragma once

#include <cstdint>

#include "store/jet/format.h"
#include "store/jet/page_file.h"
#include "store/jet/writer_state.h"

namespace zestrel::jet {

inline constexpr RowPointer kGlobalUsageMap{1, 0};
inline constexpr std::size_t kUsageMapRowSize = 133;  // type, first page, 128 bitmap bytes

std::uint32_t allocatePage(PageFile& pages, const Format& format);

// Sets or clears `page` in the usage map row at `map`.
void markInUsageMap(PageFile& pages, const Format& format, RowPointer map, std::uint32_t page, bool owned);

// A new, empty inline usage map row, on the page that holds usage maps (a new one when full).
RowPointer newUsageMap(PageFile& pages, const Format& format, WriterState& state);

// A fresh global usage map row in which every page from `firstFree` on is free.
std::vector<std::uint8_t> globalUsageMapRow(std::uint32_t firstFree);

}  // namespace zestrel::jet
