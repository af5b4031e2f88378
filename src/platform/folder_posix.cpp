#include "platform/folder.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <string>
#include <vector>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fault_injection.h"
#include "platform/platform_steps.h"

namespace zestrel::platform {

namespace fs = std::filesystem;

Folder Folder::open(const fs::path& path) {
    const fs::path shown = path.empty() ? fs::path(".") : path;
    const int fd = ::open(shown.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) throw FileError("open folder", shown, errno);
    return Folder(fd, shown);
}

Folder Folder::of(const fs::path& file) { return open(file.has_parent_path() ? file.parent_path() : fs::path(".")); }

Folder::Folder(Folder&& other) noexcept : fd_(other.fd_), path_(std::move(other.path_)) { other.fd_ = -1; }

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

Folder::~Folder() {
    if (fd_ >= 0) ::close(fd_);
}

FileState Folder::state() const {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throw FileError("stat", path_, errno);
    return stateOf(st);
}

std::optional<FileState> Folder::entry(const fs::path& name) const {
    struct stat st {};
    if (::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    return stateOf(st);
}

File Folder::openFile(const fs::path& name, OpenMode mode) const {
    const fs::path path = pathOf(name);
    faults::check("open", path);
    const int flags = openFlags(mode) | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW;
    const int fd = ::openat(fd_, name.c_str(), flags, mode == OpenMode::CreateNewPrivate ? 0600 : 0644);
    if (fd < 0) throw FileError("open", path, errno);
    return File::fromOpened(fd, path);
}

bool Folder::tryLink(const fs::path& name, const Folder& to, const fs::path& toName) const {
    faults::check("link", to.pathOf(toName));
    if (::linkat(fd_, name.c_str(), to.fd_, toName.c_str(), 0) == 0) return true;
    if (noLinkHere(errno)) return false;
    throw FileError("link", to.pathOf(toName), errno);
}

// Without replacing: a rename that fails with EEXIST when the name is taken. Where the file system
// has no such rename, the existence test and the rename are two steps.
void Folder::rename(const fs::path& name, const Folder& to, const fs::path& toName, bool replacing) const {
    const fs::path from = pathOf(name);
    faults::check("rename", from);
    if (replacing) {
        if (::renameat(fd_, name.c_str(), to.fd_, toName.c_str()) != 0) throw FileError("rename", from, errno);
        return;
    }
    if (::renameat2(fd_, name.c_str(), to.fd_, toName.c_str(), RENAME_NOREPLACE) == 0) return;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) throw FileError("rename", from, errno);
    if (to.entry(toName)) throw FileError("rename to", to.pathOf(toName), EEXIST);
    if (::renameat(fd_, name.c_str(), to.fd_, toName.c_str()) != 0) throw FileError("rename", from, errno);
}

bool Folder::tryRenameReplacing(const fs::path& name, const Folder& to, const fs::path& toName) const {
    const fs::path from = pathOf(name);
    faults::check("rename", from);
    if (::renameat(fd_, name.c_str(), to.fd_, toName.c_str()) == 0) return true;
    if (errno != EXDEV) throw FileError("rename", from, errno);
    return false;
}

void Folder::remove(const fs::path& name) const {
    const fs::path path = pathOf(name);
    faults::check("delete", path);
    if (::unlinkat(fd_, name.c_str(), 0) != 0 && errno != ENOENT) throw FileError("delete", path, errno);
}

void Folder::discard(const fs::path& name) const noexcept { ::unlinkat(fd_, name.c_str(), 0); }

void Folder::sync() const {
    faults::check("fsync folder", path_);
    if (::fsync(fd_) != 0 && errno != EINVAL) throw FileError("fsync folder", path_, errno);
}

void Folder::requireAt(const fs::path& name, const std::pair<std::uint64_t, std::uint64_t>& identity) const {
    const auto state = entry(name);
    if (!state || state->identity() != identity) throw FileError("confirm", pathOf(name), kReplacedByAnother);
}

namespace {

// A group of the user's own (the group of that user's name, with no one else named in it), as
// systems that give every user a group of their own create it: its write bit opens nothing to others.
bool ownersOwnGroup(const FileState& entry) {
    std::vector<char> buffer(16384);
    passwd user{};
    passwd* foundUser = nullptr;
    if (::getpwuid_r(static_cast<uid_t>(entry.owner), &user, buffer.data(), buffer.size(), &foundUser) != 0 || !foundUser)
        return false;
    const std::string name = foundUser->pw_name;
    if (foundUser->pw_gid != static_cast<gid_t>(entry.group)) return false;
    group found{};
    group* foundGroup = nullptr;
    std::vector<char> groupBuffer(65536);
    if (::getgrgid_r(static_cast<gid_t>(entry.group), &found, groupBuffer.data(), groupBuffer.size(), &foundGroup) != 0 ||
        !foundGroup || name != foundGroup->gr_name)
        return false;
    for (char** member = foundGroup->gr_mem; member && *member; ++member)
        if (name != *member) return false;
    return true;
}

bool groupMayWrite(const FileState& entry) { return (entry.mode & S_IWGRP) != 0 && !ownersOwnGroup(entry); }

}  // namespace

bool othersMayReplaceIn(const FileState& folder) {
    const bool othersWrite = (folder.mode & S_IWOTH) != 0 || groupMayWrite(folder);
    return othersWrite && (folder.mode & S_ISVTX) == 0;
}

bool privateToCaller(const FileState& entry) {
    const uid_t caller = ::geteuid();
    return (entry.owner == caller || entry.owner == 0) && (entry.mode & S_IWOTH) == 0 && !groupMayWrite(entry);
}

bool trustedLink(const FileState& link, const FileState& target) {
    return link.owner == ::geteuid() || link.owner == 0 || link.owner == target.owner;
}

}  // namespace zestrel::platform
