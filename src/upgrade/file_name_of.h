// FileNameOf: the part of a path after its last separator, the whole path when
// it has none, the empty text when it ends in one. The separators are those of
// the system's paths: "\" and "/" on Windows, "/" alone elsewhere, where a
// name may hold a "\".
#pragma once

#include <string>

namespace zestrel::dbFunction {

std::u16string FileNameOf(const std::u16string& path);

}  // namespace zestrel::dbFunction
