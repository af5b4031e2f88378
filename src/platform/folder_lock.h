// An exclusive lock that one holder at a time can have on a folder, for
// keeping two upgrades from working in one program folder at once.
//
// The lock is advisory: it keeps out every holder that asks for it, and
// nothing else. Asking never waits: when another holder has it, tryAcquire
// answers at once with nothing. The lock is held until the FolderLock is
// destroyed or the process ends in any way, a SIGKILL or a crash included, so
// a run that died never blocks the next one. Two FolderLocks on one folder
// exclude each other also within one process. Taking the lock writes nothing
// and needs no right to write in the folder.
//
// POSIX: flock(LOCK_EX | LOCK_NB) on the folder itself. Windows, where a
// folder cannot be locked so: a lock file in the folder, opened with
// CreateFileW and locked with LockFileEx(LOCKFILE_EXCLUSIVE_LOCK |
// LOCKFILE_FAIL_IMMEDIATELY), never deleted; where it cannot be created (a
// read-only folder) nothing can be written there either, so the lock may be
// granted without one.
#pragma once

#include <filesystem>
#include <optional>

namespace zestrel::platform {

class FolderLock {
public:
    // The lock on `folder`, or nothing when another holder has it. Any other failure (no such
    // folder, not a folder) raises FileError.
    static std::optional<FolderLock> tryAcquire(const std::filesystem::path& folder);

    FolderLock(FolderLock&& other) noexcept;
    FolderLock& operator=(FolderLock&& other) noexcept;
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    ~FolderLock();  // releases the lock

private:
#ifdef _WIN32
    explicit FolderLock(void* handle) : handle_(handle) {}
    void* handle_ = nullptr;  // the lock file's HANDLE; none where the folder cannot be written
#else
    explicit FolderLock(int handle) : handle_(handle) {}
    int handle_ = -1;
#endif
};

}  // namespace zestrel::platform
