// Storing a long value (Memo, OLE): small values go inline after the 12-byte
// field in the row when the row has room; larger ones into rows of long-value
// (LVAL) pages, in one row when they fit, else in a chain of rows each
// pointing to the next. Every LVAL page belongs to one column of one table:
// it is listed in that column's owned-pages map, and the page new values of
// the column go to is listed in its free-space map.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "store/jet/format.h"
#include "store/jet/page_file.h"
#include "store/jet/tdef_reader.h"
#include "store/jet/writer_state.h"

namespace zestrel::jet {

// The most bytes of a value kept in its row, as the genuine engine keeps them.
inline constexpr std::size_t kLongValueInlineLimit = 32;
// The most bytes of a value one LVAL row holds, alone or as one link of a chain.
inline constexpr std::size_t kMaxLongValueChunk = 2032;

// The field to put in the row: 12 bytes, followed by the data when `storeInline`.
std::vector<std::uint8_t> storeLongValue(PageFile& pages, const Format& format, WriterState& state,
                                         const LongValueColumnMaps& column, std::span<const std::uint8_t> data,
                                         bool storeInline);

}  // namespace zestrel::jet
