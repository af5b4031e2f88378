// Changing usage maps the way the genuine engine keeps them.
//
// Three kinds of map are kept, each with its own way of reaching pages that
// lie beyond its bitmap:
// - A table's owned-pages map (and a long-value column's): an inline map from
//   page 0 that grows a byte at a time while the page holding it has room,
//   then turns into a reference map whose bitmaps live on usage-map pages.
// - A free-space map: an inline map of fixed length whose window moves to the
//   page being marked (its first page rounded down to a multiple of 8); the
//   pages it listed before are forgotten, which only means the engine will
//   not look there for room.
// - The global map on page 1, row 0, whose bits mark pages that are free
//   (including pages past the end of the file within its reach): an inline
//   map from page 0 grown a byte at a time to cover the whole file while page
//   1 has room, then a reference map. Row 1 of page 1, which the engine keeps
//   empty at rest, is inline while the file has at most 1,024 pages and a
//   reference map with one empty usage-map page after that.
#pragma once

#include <cstdint>
#include <vector>

#include "store/jet/format.h"
#include "store/jet/page_file.h"

namespace zestrel::jet {

enum class MapKind : std::uint8_t { Owned, FreeSpace };

inline constexpr RowPointer kGlobalUsageMap{1, 0};
inline constexpr RowPointer kGlobalSecondMap{1, 1};
inline constexpr std::size_t kUsageMapRowSize = 133;  // type, first page, 128 bitmap bytes
inline constexpr std::uint32_t kInlineMapReach = 1024;

// Sets or clears `page` in a table's or column's map.
void markInUsageMap(PageFile& pages, const Format& format, RowPointer map, std::uint32_t page, bool on, MapKind kind);

// The two rows of page 1 for a new file of `pageCount` pages.
std::vector<std::uint8_t> newGlobalMapRow(std::uint32_t pageCount);
std::vector<std::uint8_t> emptyInlineMapRow();

// Records in the global map that `page`, just added at the end of the file, is in use.
void takeFromGlobalMap(PageFile& pages, const Format& format, std::uint32_t page);

}  // namespace zestrel::jet
