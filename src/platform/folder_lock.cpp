#include "platform/folder_lock.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/fault_injection.h"
#include "platform/file.h"

namespace zestrel::platform {

std::optional<FolderLock> FolderLock::tryAcquire(const std::filesystem::path& folder) {
    faults::check("lock", folder);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) throw FileError("open folder", folder, errno);
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return FolderLock(fd);
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return std::nullopt;
    throw FileError("lock", folder, error);
}

FolderLock::FolderLock(FolderLock&& other) noexcept : handle_(other.handle_) { other.handle_ = -1; }

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        if (handle_ >= 0) ::close(handle_);
        handle_ = other.handle_;
        other.handle_ = -1;
    }
    return *this;
}

FolderLock::~FolderLock() {
    if (handle_ >= 0) ::close(handle_);  // closing the only descriptor releases the lock
}

}  // namespace zestrel::platform
