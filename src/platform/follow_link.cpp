#include <cerrno>

#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/folder.h"

namespace zestrel::platform {

namespace fs = std::filesystem;

// A link is relied on only as the kernel relies on one in a sticky folder: made by the caller, by
// root, or by the owner of the file it leads to. Otherwise whoever could plant it could make this
// program write a file of their choosing with the caller's rights.
fs::path followLink(const fs::path& path) {
    const auto link = fileState(path);
    std::error_code error;
    if (!link || !fs::is_symlink(path, error)) return path;
    const fs::path target = fs::canonical(path, error);
    if (error) return path;
    const auto led = fileState(target);
    if (led && !trustedLink(*link, *led)) throw FileError("follow the link", path, EPERM);
    return target;
}

fs::path resolvedPath(const fs::path& path) {
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(fs::absolute(path, error), error);
    return error ? path : resolved;
}

}  // namespace zestrel::platform
