#include "upgrade/program_folder_lock.h"

#include <cerrno>

#include "platform/file.h"
#include "platform/path_text.h"
#include "store/jet/failure.h"
#include "text/utf8.h"

namespace zestrel {

std::optional<platform::FolderLock> lockProgramFolder(const std::filesystem::path& folder) {
    std::optional<platform::FolderLock> lock;
    try {
        lock = platform::FolderLock::tryAcquire(folder);
    } catch (const platform::FileError& e) {
        if (e.errorNumber() == ENOENT || e.errorNumber() == ENOTDIR || e.errorNumber() == EACCES) return std::nullopt;
        throw;
    }
    if (!lock)
        throw Failure(failure::kFileInUse, "Could not use the program folder " + platform::shownPath(folder) +
                                      ": another upgrade is running there. Nothing was changed.");
    return lock;
}

}  // namespace zestrel
