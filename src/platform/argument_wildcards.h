// Wildcards in command-line arguments, expanded by the program as Windows programs do (Windows
// shells hand "*.rcp" over as it is typed; on Linux the shell has expanded them already).
#pragma once

#include <string>
#include <vector>

namespace zestrel::platform {

// The files an argument names when its last part holds "*" or "?": every matching file or
// folder (not "." and ".."), in the folder the argument names, in name order and with that
// folder written as the argument wrote it. An argument without wildcards, an option (starting
// with "-"), and one that matches nothing stay as they are, so that a missing file is still named
// in its failure.
std::vector<std::u16string> expandedArgument(const std::u16string& argument);

}  // namespace zestrel::platform
