#include "platform/open_elsewhere.h"

#include <windows.h>

#include "platform/path_text.h"

namespace zestrel::platform {

// The lock File::tryWriteLock takes is a byte past any file's end, taken and given back here.
bool writeLockHeldElsewhere(const std::filesystem::path& path) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    OVERLAPPED pastTheEnd{};
    pastTheEnd.Offset = 0xFFFFFFFE;
    pastTheEnd.OffsetHigh = 0x7FFFFFFF;
    const bool taken =
        ::LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &pastTheEnd) != 0;
    if (taken) ::UnlockFileEx(file, 0, 1, 0, &pastTheEnd);
    const bool held = !taken && ::GetLastError() == ERROR_LOCK_VIOLATION;
    ::CloseHandle(file);
    return held;
}

// A file another program has open for writing cannot be opened sharing reads alone; the engine's
// lock file, while a program uses the database, cannot be opened by anyone else without sharing.
std::optional<std::string> openElsewhere(const std::filesystem::path& path) {
    const HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION)
        return std::string("it is open for writing");
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    const std::filesystem::path lock = lockFileOf(path);
    const HANDLE lockFile =
        ::CreateFileW(lock.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (lockFile == INVALID_HANDLE_VALUE && ::GetLastError() == ERROR_SHARING_VIOLATION)
        return "its lock file " + shownPath(lock.filename()) + " is in use";
    if (lockFile != INVALID_HANDLE_VALUE) ::CloseHandle(lockFile);
    return std::nullopt;
}

}  // namespace zestrel::platform
