// What is made sure of a cookbook under the program folder's lock, just before its copy begins,
// so that a run stops for the one cause that stops it, before anything is made or moved:
//  - it is still of the layout Browse judged: another run may have upgraded it since;
//  - the tables the copy reads have no structural fault: a damaged page would lose rows unseen;
//  - the new layout can hold it: a layout-1.3 file ends at 1 GB.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "upgrade/column_map.h"

namespace zestrel::upgrade {

// The largest file layout 1.3 can be; a source whose tables alone reach it cannot be copied.
inline constexpr std::uint64_t kLargestNewCookbook = std::uint64_t{1} << 30;

// Refuses (3051) a cookbook another program has open to write, or whose engine lock file it holds:
// what that program saves during a run would be lost.
void requireNotOpenElsewhere(const std::filesystem::path& cookbook);

void requireReadyToCopy(const std::u16string& cookbook, Layout judged, const std::u16string& judgedMarker);

}  // namespace zestrel::upgrade
