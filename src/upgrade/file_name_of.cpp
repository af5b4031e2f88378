#include "upgrade/file_name_of.h"

namespace zestrel::dbFunction {

std::u16string FileNameOf(const std::u16string& path) {
    const auto last = path.find_last_of(u"\\/");
    return last == std::u16string::npos ? path : path.substr(last + 1);
}

}  // namespace zestrel::dbFunction
