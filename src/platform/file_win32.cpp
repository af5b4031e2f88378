#include "platform/file.h"

#include <cerrno>
#include <string>
#include <vector>
#include <windows.h>

#include "platform/access_list_win32.h"
#include "platform/fault_injection.h"
#include "platform/file_system.h"
#include "platform/folder_lock.h"
#include "platform/win32_error.h"

namespace zestrel::platform {

int errnoFromWindowsError(unsigned long error) {
    switch (error) {
    case ERROR_PATH_NOT_FOUND: return ENOTDIR;  // a folder on the way is missing or is a file
    case ERROR_FILE_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_CANNOT_MAKE: return EACCES;
    case ERROR_WRITE_PROTECT: return EROFS;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_USER_MAPPED_FILE: return EBUSY;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME: return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    default: return EIO;
    }
}

namespace {

HANDLE handleOf(void* handle) { return static_cast<HANDLE>(handle); }

[[noreturn]] void fail(const char* operation, const std::filesystem::path& path) {
    throw FileError(operation, path, errnoFromWindowsError(::GetLastError()));
}

// Others may read the file and we may move it while it is open; nobody else may write it.
constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_DELETE;

HANDLE openHandle(const std::filesystem::path& path, DWORD access, DWORD disposition) {
    return ::CreateFileW(path.c_str(), access, kShare, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool creates(OpenMode mode) { return mode == OpenMode::CreateNew || mode == OpenMode::CreateNewPrivate; }

// A file created private gets a protected access list for its creator alone as it is made, so
// that its folder's inherited rights never open it to others before takeAccessOf gives it the
// original's. Its creator may change that list through the handle (WRITE_DAC), which takes
// nothing from the sharing others see.
HANDLE openOrCreate(const std::filesystem::path& path, OpenMode mode, DWORD flags) {
    const DWORD access = mode == OpenMode::ReadOnly ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    if (!creates(mode)) return ::CreateFileW(path.c_str(), access, kShare, nullptr, OPEN_EXISTING, flags, nullptr);
    std::string ownerOnly;
    SECURITY_ATTRIBUTES security{sizeof security, nullptr, FALSE};
    if (mode == OpenMode::CreateNewPrivate) {
        ownerOnly = ownerOnlyDescriptor();
        if (ownerOnly.empty()) throw FileError("open", path, EACCES);  // never made open to all instead
        security.lpSecurityDescriptor = ownerOnly.data();
    }
    return ::CreateFileW(path.c_str(), access | WRITE_DAC, kShare, &security, CREATE_NEW, flags, nullptr);
}

}  // namespace

File File::open(const std::filesystem::path& path, OpenMode mode, Links links) {
    faults::check("open", path);
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        throw FileError("open", path, creates(mode) ? EEXIST : EISDIR);
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (links == Links::Refuse ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    const HANDLE handle = openOrCreate(path, mode, flags);
    if (handle == INVALID_HANDLE_VALUE) fail("open", path);
    if (::GetFileType(handle) != FILE_TYPE_DISK) {
        ::CloseHandle(handle);
        throw FileError("open", path, kNotARegularFile);
    }
    if (links == Links::Refuse) {
        BY_HANDLE_FILE_INFORMATION info{};
        if (::GetFileInformationByHandle(handle, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            ::CloseHandle(handle);
            throw FileError("open", path, ELOOP);
        }
    }
    return File(handle, path);
}

File::File(void* handle, std::filesystem::path path) : handle_(handle), path_(std::move(path)) {}

File::File(File&& other) noexcept : handle_(other.handle_), path_(std::move(other.path_)) { other.handle_ = nullptr; }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (handle_) ::CloseHandle(handleOf(handle_));
        handle_ = other.handle_;
        path_ = std::move(other.path_);
        other.handle_ = nullptr;
    }
    return *this;
}

File::~File() {
    if (handle_) ::CloseHandle(handleOf(handle_));
}

std::uint64_t File::size() const {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handleOf(handle_), &size)) fail("stat", path_);
    return static_cast<std::uint64_t>(size.QuadPart);
}

std::pair<std::uint64_t, std::uint64_t> File::identity() const {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!::GetFileInformationByHandle(handleOf(handle_), &info)) fail("stat", path_);
    return {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

bool File::linked() const {
    FILE_STANDARD_INFO info{};
    if (!::GetFileInformationByHandleEx(handleOf(handle_), FileStandardInfo, &info, sizeof info)) return false;
    return info.NumberOfLinks > 0 && !info.DeletePending;
}

namespace {

std::int64_t timeOf(LARGE_INTEGER t) { return t.QuadPart * 100; }

std::optional<FileState> stateOfHandle(HANDLE handle) {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandle(handle, &info) ||
        !::GetFileInformationByHandleEx(handle, FileBasicInfo, &basic, sizeof basic))
        return std::nullopt;
    FileState state;
    state.device = info.dwVolumeSerialNumber;
    state.inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    state.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    state.modified = timeOf(basic.LastWriteTime);
    state.changed = timeOf(basic.ChangeTime);
    state.links = info.nNumberOfLinks;
    state.regular = (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0 &&
                    ::GetFileType(handle) == FILE_TYPE_DISK;
    return state;
}

}  // namespace

FileState File::state() const {
    auto state = stateOfHandle(handleOf(handle_));
    if (!state) fail("stat", path_);
    state->extended.acl = readAccessList(handle_);
    return *state;
}

// A lock on one byte far past any file's end: it keeps out other lockers and never the reads
// and writes of the file itself, which a lock on its content would.
bool File::tryLock() {
    faults::check("lock", path_);
    OVERLAPPED pastTheEnd{};
    pastTheEnd.Offset = 0xFFFFFFFE;
    pastTheEnd.OffsetHigh = 0x7FFFFFFF;
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY;
    if (::LockFileEx(handleOf(handle_), flags, 0, 1, 0, &pastTheEnd)) return true;
    const DWORD error = ::GetLastError();
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING) return false;
    if (error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION) return true;  // no locks here
    throw FileError("lock", path_, errnoFromWindowsError(error));
}

bool File::tryWriteLock() { return tryLock(); }

const bool File::kWriteLockWantsWritableHandle = false;

// The original's access list, set through the handle. A list that cannot be set leaves the file
// to its current user alone, never to its folder's rights, which may be wider; a file that cannot
// be narrowed either does not take the original's place.
AccessCarried File::takeAccessOf(const FileState& original) {
    faults::check("chmod", path_);
    AccessCarried carried;
    if (original.extended.acl.empty()) return carried;  // nothing recorded of it: the file keeps its own list
    const unsigned long error = applyAccessList(handle_, original.extended.acl);
    if (error == ERROR_SUCCESS) return carried;
    carried.notKept.push_back("the access list (DACL) that says who may use it: " + accessListErrorText(error));
    if (const unsigned long narrowing = makeOwnerOnly(handle_); narrowing != ERROR_SUCCESS)
        throw FileError("chmod", path_, errnoFromWindowsError(narrowing));
    return carried;
}

std::optional<FileState> fileState(const std::filesystem::path& path) {
    const HANDLE handle = ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    const auto state = stateOfHandle(handle);
    ::CloseHandle(handle);
    return state;
}

namespace {

OVERLAPPED at(std::uint64_t offset) {
    OVERLAPPED overlapped{};
    overlapped.Offset = static_cast<DWORD>(offset);
    overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return overlapped;
}

constexpr std::size_t kChunk = 1u << 30;

}  // namespace

void File::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    faults::check("read", path_);
    std::size_t done = 0;
    while (done < out.size()) {
        OVERLAPPED overlapped = at(offset + done);
        DWORD n = 0;
        const auto want = static_cast<DWORD>(std::min(out.size() - done, kChunk));
        if (!::ReadFile(handleOf(handle_), out.data() + done, want, &n, &overlapped)) {
            if (::GetLastError() == ERROR_HANDLE_EOF) throw FileError("read", path_, EIO);
            fail("read", path_);
        }
        if (n == 0) throw FileError("read", path_, EIO);
        done += n;
    }
}

void File::writeAt(std::uint64_t offset, std::span<const std::uint8_t> given) {
    std::vector<std::uint8_t> damaged;
    const auto data = faults::checkWrite(path_, offset, given, damaged);
    std::size_t done = 0;
    while (done < data.size()) {
        OVERLAPPED overlapped = at(offset + done);
        DWORD n = 0;
        const auto want = static_cast<DWORD>(std::min(data.size() - done, kChunk));
        if (!::WriteFile(handleOf(handle_), data.data() + done, want, &n, &overlapped)) fail("write", path_);
        if (n == 0) throw FileError("write", path_, EIO);
        done += n;
    }
}

void File::truncate(std::uint64_t size) {
    faults::check("truncate", path_);
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
    if (!::SetFileInformationByHandle(handleOf(handle_), FileEndOfFileInfo, &end, sizeof end)) fail("truncate", path_);
}

void File::sync() {
    faults::check("fsync", path_);
    if (!::FlushFileBuffers(handleOf(handle_))) fail("fsync", path_);
}

void File::reopenForWriting() {
    faults::check("open", path_);
    // The file may have been moved since it was opened: its present path comes from the handle.
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetFinalPathNameByHandleW(handleOf(handle_), buffer.data(), static_cast<DWORD>(buffer.size()),
                                                    FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (n == 0) fail("open for writing", path_);
        if (n < buffer.size()) break;
        buffer.resize(n + 1);
    }
    const std::filesystem::path present(buffer.data());
    // Our own read handle does not share writing, so it goes first.
    ::CloseHandle(handleOf(handle_));
    handle_ = nullptr;
    const HANDLE handle = openHandle(present, GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING);
    if (handle == INVALID_HANDLE_VALUE) fail("open for writing", path_);
    handle_ = handle;
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> fileIdentity(const std::filesystem::path& path) {
    const HANDLE handle =
        ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool ok = ::GetFileInformationByHandle(handle, &info);
    ::CloseHandle(handle);
    if (!ok) return std::nullopt;
    return std::pair<std::uint64_t, std::uint64_t>{info.dwVolumeSerialNumber,
                                                   (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

void File::close() {
    if (!handle_) return;
    faults::check("close", path_);
    const HANDLE handle = handleOf(handle_);
    handle_ = nullptr;
    if (!::CloseHandle(handle)) fail("close", path_);
}

void removeFile(const std::filesystem::path& path) {
    faults::check("delete", path);
    if (!::DeleteFileW(path.c_str())) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) throw FileError("delete", path, errnoFromWindowsError(error));
    }
}

namespace {

constexpr const wchar_t* kLockFileName = L".zestrel-lock";

}  // namespace

std::optional<FolderLock> FolderLock::tryAcquire(const std::filesystem::path& folder) {
    faults::check("lock", folder);
    if (!entryExists(folder)) throw FileError("open folder", folder, ENOENT);
    if (!folderExists(folder)) throw FileError("open folder", folder, ENOTDIR);
    const std::filesystem::path lockFile = folder / kLockFileName;
    const HANDLE handle = ::CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_HIDDEN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        // Nothing can be written in a folder where the lock file cannot be made, so no other run
        // can work there either.
        if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT) return FolderLock(nullptr);
        throw FileError("lock", folder, errnoFromWindowsError(error));
    }
    OVERLAPPED whole{};
    if (::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, MAXDWORD, MAXDWORD, &whole))
        return FolderLock(handle);
    const DWORD error = ::GetLastError();
    ::CloseHandle(handle);
    if (error == ERROR_LOCK_VIOLATION || error == ERROR_SHARING_VIOLATION || error == ERROR_IO_PENDING) return std::nullopt;
    throw FileError("lock", folder, errnoFromWindowsError(error));
}

FolderLock::FolderLock(FolderLock&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        if (handle_) ::CloseHandle(handleOf(handle_));
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

FolderLock::~FolderLock() {
    if (handle_) ::CloseHandle(handleOf(handle_));  // closing the handle releases its lock
}

}  // namespace zestrel::platform
