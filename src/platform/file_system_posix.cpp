#include "platform/file_system.h"
#include "platform/platform_steps.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/file.h"
#include "platform/file_replace.h"

namespace zestrel::platform {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    const fs::path path(value);
    if (!path.is_absolute()) return std::nullopt;
    return path;
}

fs::path homeFolder() {
    if (auto home = absoluteVariable("HOME")) return *home;
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] == '/')
        return found->pw_dir;
    std::error_code ignored;
    return fs::current_path(ignored);  // no home at all: the working folder is all that is left
}

// $XDG_DATA_HOME/zestrel; a relative or empty XDG_DATA_HOME is ignored, as the base directory rules say.
fs::path userDataFolder() {
    const fs::path base = absoluteVariable("XDG_DATA_HOME").value_or(homeFolder() / ".local" / "share");
    return base / "zestrel";
}

}  // namespace

void discardFile(const fs::path& path) noexcept { ::unlink(path.c_str()); }

void syncFolder(const fs::path& folder) {
    faults::check("fsync folder", folder);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) throw FileError("open folder", folder, errno);
    if (::fsync(fd) != 0 && errno != EINVAL) {
        const int error = errno;
        ::close(fd);
        throw FileError("fsync folder", folder, error);
    }
    ::close(fd);
}

// Each new folder is readable by its owner only (0700, as the base directory rules ask for).
void createFolders(const fs::path& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) == 0) return;
    fs::path partial;
    for (const fs::path& part : folder) {
        partial /= part;
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) return;
    }
}

std::optional<fs::path> programFolderVariable() {
    const char* variable = std::getenv(kProgramFolderVariable);
    if (!variable || !*variable) return std::nullopt;
    return fs::path(variable);
}

fs::path defaultProgramFolder() { return userDataFolder(); }

bool fileExists(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const std::string name = path.filename().string();
    return name.empty() || name[0] != '.';
}

bool entryExists(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool folderExists(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

NameRoom nameRoom(const fs::path& path) {
    NameRoom room{path.filename().native().size(), 255};
    fs::path folder = path.parent_path();
    if (folder.empty()) folder = ".";
    struct stat st {};
    while (::stat(folder.c_str(), &st) != 0 && folder.has_relative_path() && folder != folder.parent_path())
        folder = folder.parent_path();
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (limit > 0) room.limit = static_cast<std::size_t>(limit);
    return room;
}

void createFolder(const fs::path& path) {
    faults::check("create folder", path);
    if (::mkdir(path.c_str(), 0700) != 0) throw FileError("create folder", path, errno);
}

void deleteFile(const fs::path& path) {
    faults::check("delete", path);
    if (::unlink(path.c_str()) != 0) throw FileError("delete", path, errno);
}

void moveFile(const fs::path& from, const fs::path& to) {
    if (entryExists(to)) throw FileError("move to", to, EEXIST);
    faults::check("rename", from);
    if (::rename(from.c_str(), to.c_str()) == 0) return;
    if (errno != EXDEV) throw FileError("move", from, errno);
    linkOrCopy(from, to);  // another file system: the copy is durable and named before the original goes
    deleteFile(from);
}

// Putting complete files at final names (file_replace.h).

// The steps under file_replace.cpp.

// A hard link `to` of `from`; false where the file system cannot make one between them (another
// file system, no hard links there, or links refused by the system's protection).
bool tryLink(const fs::path& from, const fs::path& to) {
    faults::check("link", to);
    if (::link(from.c_str(), to.c_str()) == 0) return true;
    if (noLinkHere(errno)) return false;
    throw FileError("link", to, errno);
}

bool noLinkHere(int error) { return error == EXDEV || error == EPERM || error == EMLINK || error == ENOTSUP; }

// Without replacing: a rename that fails with EEXIST when `to` exists. Where the file system has no
// such rename, the existence test and the rename are two steps.
void renameFile(const fs::path& from, const fs::path& to, bool replacing) {
    faults::check("rename", from);
    if (replacing) {
        if (::rename(from.c_str(), to.c_str()) != 0) throw FileError("rename", from, errno);
        return;
    }
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) throw FileError("rename", from, errno);
    if (entryExists(to)) throw FileError("rename to", to, EEXIST);
    if (::rename(from.c_str(), to.c_str()) != 0) throw FileError("rename", from, errno);
}

bool tryRenameReplacing(const fs::path& from, const fs::path& to) {
    faults::check("rename", from);
    if (::rename(from.c_str(), to.c_str()) == 0) return true;
    if (errno != EXDEV) throw FileError("rename", from, errno);
    return false;
}

}  // namespace zestrel::platform
