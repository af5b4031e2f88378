// Whether a file is a cookbook of layout 1.0 or 1.1 that an upgrade can read:
// it opens as a database and holds the tables Recipe and Ingred. The version
// marker says nothing about this, since a layout-1.0 cookbook has none, so the
// choice of a cookbook asks here before it offers an upgrade.
//
// Unlike the procedures of the cookbook handle, this one reports what it
// finds. It opens the file itself, reads only the catalog, and closes it again.
#pragma once

#include <string>

namespace zestrel::dbFunction {

// Why the file at `path` is no cookbook of layout 1.0 or 1.1: the failure of opening it as a
// database ("3024 - Could not find file ..."), or the old tables it lacks ("it has no table
// Ingred"). Empty when it opens and holds both tables.
std::u16string oldLayoutProblem(const std::u16string& path);

}  // namespace zestrel::dbFunction
