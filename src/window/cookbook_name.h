// The cookbook a name typed into the path box or dropped on the window stands for, by the rule
// the command line follows: the file as named when something exists there (so "notes.txt" is
// taken as it is, and refused as no cookbook, not read as "notes.txt.rcp"), else the name with
// ".rcp" added as Browse adds it.
#pragma once

#include <string>

namespace zestrel {

std::u16string cookbookPathNamed(const std::u16string& name);

}  // namespace zestrel
