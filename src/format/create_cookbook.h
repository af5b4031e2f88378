// Creating an empty cookbook of layout 1.3 at a path: the database in the 3.0
// file format with the General sort order, its three tables and the Version
// row. A failure is shown in a box titled "Create Database" and not passed on;
// a file created before the failure stays where it is.
#pragma once

#include <string>

namespace zestrel::dbFunction {

void CreateCookbook(const std::u16string& path);

// The same steps, with a failure passed on (a numbered Failure) instead of shown.
void createCookbookOrThrow(const std::u16string& path);

}  // namespace zestrel::dbFunction
