// FileNameOf: the part of a path after its last separator ("\" or "/"), the
// whole path when it has none, the empty text when it ends in one.
#pragma once

#include <string>

namespace zestrel::dbFunction {

std::u16string FileNameOf(const std::u16string& path);

}  // namespace zestrel::dbFunction
