// The columns of a new Ingredient row from a layout-1.0 or 1.1 Ingred row.
#pragma once

#include "upgrade/column_map.h"

namespace zestrel::upgrade {

const ColumnMap& ingredientColumnMap();

}  // namespace zestrel::upgrade
