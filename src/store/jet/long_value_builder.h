// Storing a long value (Memo, OLE): small values go inline after the 12-byte
// field in the row; larger ones into rows of long-value (LVAL) pages, in one
// row when they fit, else in a chain of rows each pointing to the next.
// LVAL pages are shared by the values of all tables until they are full.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "store/jet/format.h"
#include "store/jet/page_file.h"
#include "store/jet/writer_state.h"

namespace zestrel::jet {

inline constexpr std::size_t kLongValueInlineLimit = 64;

// The field to put in the row (12 bytes, followed by the data when inline).
std::vector<std::uint8_t> storeLongValue(PageFile& pages, const Format& format, WriterState& state,
                                         std::span<const std::uint8_t> data);

}  // namespace zestrel::jet
