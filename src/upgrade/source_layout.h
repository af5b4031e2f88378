// Which old layout a cookbook's tables are, judged by their columns: every column that the copy
// of a layout reads (the recipe and ingredient column maps) must be in the tables Recipe and
// Ingred. The version marker names a layout too, but a marker can be wrong ("1.0" written out on
// a layout-1.1 cookbook, "1.x", "2.0"), and the copy of a layout the tables are not fails at the
// first row or leaves columns behind. So the tables decide; the marker only chooses between two
// layouts whose columns the tables both hold.
//
// It opens the file itself, reads only the catalog and the table definitions, and closes it.
#pragma once

#include <optional>
#include <string>

#include "upgrade/column_map.h"

namespace zestrel::upgrade {

struct SourceLayout {
    std::optional<Layout> layout;  // the layout the tables are, when they are one
    std::u16string problem;        // otherwise why not: the file, a table or the columns it lacks
};

// The layout of the cookbook at `path`; `marker` is its version marker as Browse read it.
SourceLayout sourceLayoutOf(const std::u16string& path, const std::u16string& marker);

// "1.0" or "1.1".
std::u16string layoutName(Layout layout);

}  // namespace zestrel::upgrade
