#include "upgrade/file_name_of.h"

#include <filesystem>

namespace zestrel::dbFunction {

namespace {

// Windows takes "\" and "/" alike; elsewhere "\" is a character like any other in a name.
constexpr const char16_t* kSeparators = std::filesystem::path::preferred_separator == '\\' ? u"\\/" : u"/";

}  // namespace

std::u16string FileNameOf(const std::u16string& path) {
    const auto last = path.find_last_of(kSeparators);
    return last == std::u16string::npos ? path : path.substr(last + 1);
}

}  // namespace zestrel::dbFunction
