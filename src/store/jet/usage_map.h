// Usage maps: which pages a table owns. A map is a row holding either a bitmap
// with its first page number (inline) or a list of usage-map pages, each a
// bitmap covering a fixed stretch of pages (indirect).
#pragma once

#include <cstdint>
#include <vector>

#include "store/jet/format.h"
#include "store/jet/page_file.h"

namespace zestrel::jet {

inline constexpr std::uint8_t kUsageMapInline = 0x00;
inline constexpr std::uint8_t kUsageMapIndirect = 0x01;
inline constexpr std::size_t kUsageMapInlineHeader = 5;  // type byte and first page

// What a bit for a page past the end of the file means: damage in a table's map, free room
// to grow in the global map; or, to tell how long a file should be, a page like any other.
enum class PastEnd : std::uint8_t { Corrupt, Skip, Keep };

// The pages a usage map marks, ascending.
std::vector<std::uint32_t> readUsageMap(PageFile& pages, const Format& format, RowPointer where,
                                        PastEnd pastEnd = PastEnd::Corrupt);

}  // namespace zestrel::jet
