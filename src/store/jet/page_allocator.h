// Allocating pages and placing usage-map rows.
//
// New pages are added at the end of the file and leave the global map's free
// pages at once. Usage-map rows go to a data page that holds nothing but
// usage maps (owner 0), as the genuine engine places them.
#pragma once

#include <cstdint>

#include "store/jet/format.h"
#include "store/jet/page_file.h"
#include "store/jet/usage_map_builder.h"
#include "store/jet/writer_state.h"

namespace zestrel::jet {

std::uint32_t allocatePage(PageFile& pages, const Format& format);

// A new, empty inline usage map row on the current usage-map page (a new one when full).
RowPointer newUsageMap(PageFile& pages, const Format& format, WriterState& state);
// Starts a new usage-map page for the next maps, so that one table's maps have room to grow.
void startUsageMapPage(PageFile& pages, const Format& format, WriterState& state);

}  // namespace zestrel::jet
