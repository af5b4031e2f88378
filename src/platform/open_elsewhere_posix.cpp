#include "platform/open_elsewhere.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/path_text.h"

namespace zestrel::platform {

namespace {

// A descriptor closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

// A read lease is granted only while no one has the file open for writing; taken and given back
// at once, it asks exactly that.
bool openForWriting(int fd) {
    if (::fcntl(fd, F_SETLEASE, F_RDLCK) == 0) {
        ::fcntl(fd, F_SETLEASE, F_UNLCK);
        return false;
    }
    return errno == EAGAIN;  // EACCES: not ours to lease; EINVAL: no leases on this file system
}

// Any byte range of the lock file locked by another process, by record locks or by flock.
bool lockFileHeld(int fd) {
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) return true;
    if (::flock(fd, LOCK_SH | LOCK_NB) != 0) return errno == EWOULDBLOCK;
    ::flock(fd, LOCK_UN);
    return false;
}

}  // namespace

bool writeLockHeldElsewhere(const std::filesystem::path& path) {
    const Descriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    // A read lock is a reader's (runs take write locks), and a reader holds no run off.
    return file.get() >= 0 && ::fcntl(file.get(), F_OFD_GETLK, &probe) == 0 && probe.l_type == F_WRLCK;
}

std::optional<std::string> openElsewhere(const std::filesystem::path& path) {
    {
        const Descriptor file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (file.get() >= 0 && openForWriting(file.get())) return std::string("it is open for writing");
    }
    const std::filesystem::path lock = lockFileOf(path);
    const Descriptor lockFile(::open(lock.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (lockFile.get() >= 0 && lockFileHeld(lockFile.get()))
        return "its lock file " + shownPath(lock.filename()) + " is in use";
    return std::nullopt;
}

}  // namespace zestrel::platform
