// The columns of a new Recipe row from a layout-1.0 or 1.1 Recipe row.
#pragma once

#include "upgrade/column_map.h"

namespace zestrel::upgrade {

const ColumnMap& recipeColumnMap();

}  // namespace zestrel::upgrade
