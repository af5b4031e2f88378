#include "platform/file_system.h"

namespace zestrel::platform {

namespace fs = std::filesystem;

fs::path followLink(const fs::path& path) {
    std::error_code error;
    if (!fs::is_symlink(path, error)) return path;
    const fs::path target = fs::canonical(path, error);
    return error ? path : target;
}

}  // namespace zestrel::platform
