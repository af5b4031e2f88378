#include "platform/file.h"

#include "platform/fault_injection.h"
#include "platform/folder_lock.h"
#include "platform/platform_steps.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zestrel::platform {

int openFlags(OpenMode mode) {
    switch (mode) {
    case OpenMode::ReadOnly: return O_RDONLY;
    case OpenMode::ReadWrite: return O_RDWR;
    case OpenMode::CreateNew:
    case OpenMode::CreateNewPrivate: return O_RDWR | O_CREAT | O_EXCL;
    }
    return O_RDONLY;
}

namespace {

std::int64_t nanoseconds(const struct timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace

FileState stateOf(const struct stat& st) {
    FileState state;
    state.device = static_cast<std::uint64_t>(st.st_dev);
    state.inode = static_cast<std::uint64_t>(st.st_ino);
    state.size = static_cast<std::uint64_t>(st.st_size);
    state.modified = nanoseconds(st.st_mtim);
    state.changed = nanoseconds(st.st_ctim);
    state.links = static_cast<std::uint64_t>(st.st_nlink);
    state.mode = static_cast<std::uint32_t>(st.st_mode);
    state.owner = static_cast<std::uint32_t>(st.st_uid);
    state.group = static_cast<std::uint32_t>(st.st_gid);
    state.regular = S_ISREG(st.st_mode);
    return state;
}

// Opened without blocking, so that a pipe with no writer answers at once and is refused; a
// regular file then goes on in blocking mode.
File File::open(const std::filesystem::path& path, OpenMode mode, Links links) {
    faults::check("open", path);
    const int flags = openFlags(mode) | O_CLOEXEC | O_NONBLOCK | (links == Links::Refuse ? O_NOFOLLOW : 0);
    const int fd = ::open(path.c_str(), flags, mode == OpenMode::CreateNewPrivate ? 0600 : 0644);
    if (fd < 0) throw FileError("open", path, errno);
    return fromOpened(fd, path);
}

File File::fromOpened(int fd, const std::filesystem::path& path) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int err = errno;
        ::close(fd);
        throw FileError("stat", path, err);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw FileError("open", path, S_ISDIR(st.st_mode) ? EISDIR : kNotARegularFile);
    }
    const int status = ::fcntl(fd, F_GETFL);
    if (status < 0 || ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK) != 0) {
        int err = errno;
        ::close(fd);
        throw FileError("open", path, err);
    }
    return File(fd, path);
}

File::File(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}

File::File(File&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) { other.fd_ = -1; }

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

File::~File() {
    if (fd_ >= 0) ::close(fd_);
}

std::uint64_t File::size() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw FileError("stat", path_, errno);
    return static_cast<std::uint64_t>(st.st_size);
}

std::pair<std::uint64_t, std::uint64_t> File::identity() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw FileError("stat", path_, errno);
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

bool File::linked() const {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 && st.st_nlink > 0;
}

FileState File::state() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw FileError("stat", path_, errno);
    FileState state = stateOf(st);
    state.extended = readExtendedAccess(fd_);
    return state;
}

bool File::tryLock() {
    faults::check("lock", path_);
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) return true;
    if (errno == EWOULDBLOCK) return false;
    if (errno == ENOLCK || errno == EINVAL || errno == ENOTSUP) return true;  // no locks here
    throw FileError("lock", path_, errno);
}

bool File::tryWriteLock() {
    faults::check("lock", path_);
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (::fcntl(fd_, F_OFD_SETLK, &whole) == 0) return true;
    if (errno == EAGAIN || errno == EACCES) {
        // Only a writer's lock is another run's: a reader's read lock holds no run off.
        struct flock holder {};
        holder.l_type = F_WRLCK;
        holder.l_whence = SEEK_SET;
        return ::fcntl(fd_, F_OFD_GETLK, &holder) == 0 && holder.l_type == F_RDLCK;
    }
    if (errno == ENOLCK || errno == EINVAL || errno == ENOTSUP) return true;  // no locks here
    throw FileError("lock", path_, errno);
}

const bool File::kWriteLockWantsWritableHandle = true;

AccessCarried File::takeAccessOf(const FileState& original) {
    faults::check("chmod", path_);
    AccessCarried carried;
    const auto owner = static_cast<uid_t>(original.owner);
    const auto group = static_cast<gid_t>(original.group);
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw FileError("stat", path_, errno);
    if (st.st_uid != owner || st.st_gid != group) {
        if (::fchown(fd_, owner, group) != 0) {
            if (errno != EPERM) throw FileError("chown", path_, errno);
            carried.owner = st.st_uid == owner;
            if (st.st_gid != group && ::fchown(fd_, static_cast<uid_t>(-1), group) != 0) {
                if (errno != EPERM) throw FileError("chown", path_, errno);
                carried.group = false;
            }
        }
    }
    if (::fchmod(fd_, static_cast<mode_t>(modeBefore(original.mode, original.extended))) != 0)
        throw FileError("chmod", path_, errno);
    carried.notKept = applyExtendedAccess(fd_, original.extended);
    return carried;
}

void File::readAt(std::uint64_t offset, std::span<std::uint8_t> out) const {
    faults::check("read", path_);
    std::size_t done = 0;
    while (done < out.size()) {
        ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw FileError("read", path_, errno);
        if (n == 0) throw FileError("read", path_, EIO);
        done += static_cast<std::size_t>(n);
    }
}

void File::writeAt(std::uint64_t offset, std::span<const std::uint8_t> given) {
    std::vector<std::uint8_t> damaged;
    const auto data = faults::checkWrite(path_, offset, given, damaged);
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::pwrite(fd_, data.data() + done, data.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw FileError("write", path_, errno);
        done += static_cast<std::size_t>(n);
    }
}

void File::truncate(std::uint64_t size) {
    faults::check("truncate", path_);
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) throw FileError("truncate", path_, errno);
}

void File::sync() {
    faults::check("fsync", path_);
    if (::fsync(fd_) != 0) throw FileError("fsync", path_, errno);
}

void File::reopenForWriting() {
    faults::check("open", path_);
    // Through /proc the same inode is reached even when the file was moved since it was opened.
    const std::string self = "/proc/self/fd/" + std::to_string(fd_);
    const int fd = ::open(self.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) throw FileError("open for writing", path_, errno);
    ::close(fd_);
    fd_ = fd;
}

std::optional<std::pair<std::uint64_t, std::uint64_t>> fileIdentity(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return std::pair{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::optional<FileState> fileState(const std::filesystem::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    return stateOf(st);
}

void File::close() {
    if (fd_ < 0) return;
    faults::check("close", path_);
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) throw FileError("close", path_, errno);
}

void removeFile(const std::filesystem::path& path) {
    faults::check("delete", path);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) throw FileError("delete", path, errno);
}

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
