#include "platform/file_replace.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include "platform/fault_injection.h"
#include "platform/file.h"
#include "platform/file_system.h"

namespace zestrel::platform {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTemporarySuffix = ".zestrel-partial";

fs::path folderOf(const fs::path& path) { return path.has_parent_path() ? path.parent_path() : fs::path("."); }

// Removes a temporary copy on the way out of a failure; the failure that is on its way counts, not this.
void discard(const fs::path& path) noexcept { ::unlink(path.c_str()); }

// A hard link `to` of `from`; false where the file system cannot make one between them (another
// file system, no hard links there, or links refused by the system's protection).
bool tryLink(const fs::path& from, const fs::path& to) {
    faults::check("link", to);
    if (::link(from.c_str(), to.c_str()) == 0) return true;
    switch (errno) {
    case EXDEV:
    case EPERM:
    case EMLINK:
    case ENOTSUP:
        return false;
    default:
        throw FileError("link", to, errno);
    }
}

void renameReplacing(const fs::path& from, const fs::path& to) {
    faults::check("rename", from);
    if (::rename(from.c_str(), to.c_str()) != 0) throw FileError("rename", from, errno);
}

// A rename that fails with EEXIST when `to` exists. Where the file system has no such rename, the
// existence test and the rename are two steps.
void renameNoReplace(const fs::path& from, const fs::path& to) {
    faults::check("rename", from);
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) throw FileError("rename", from, errno);
    if (entryExists(to)) throw FileError("rename to", to, EEXIST);
    if (::rename(from.c_str(), to.c_str()) != 0) throw FileError("rename", from, errno);
}

// A durable copy under the temporary name, then renamed to `to`.
void copyThroughTemporary(const fs::path& from, const fs::path& to, bool replacing) {
    const fs::path part = temporaryPathFor(to);
    removeFile(part);  // what a run that died left
    copyFileDurably(from, part);
    try {
        if (replacing)
            renameReplacing(part, to);
        else
            renameNoReplace(part, to);
    } catch (...) {
        discard(part);
        throw;
    }
}

}  // namespace

fs::path temporaryPathFor(const fs::path& final) {
    fs::path name(".");
    name += final.filename();
    name += kTemporarySuffix;
    return final.parent_path() / name;
}

bool isTemporaryPath(const fs::path& path) {
    const std::string name = path.filename().string();
    const std::string suffix = kTemporarySuffix;
    return name.size() > suffix.size() + 1 && name.front() == '.' &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void removeTemporaries(const fs::path& folder) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (isTemporaryPath(it->path()) && it->is_regular_file(error)) removeFile(it->path());
}

void linkOrCopy(const fs::path& from, const fs::path& to) {
    if (entryExists(to)) throw FileError("copy to", to, EEXIST);
    if (!tryLink(from, to)) copyThroughTemporary(from, to, false);
    syncFolder(folderOf(to));
}

void replaceFile(const fs::path& from, const fs::path& to, Source source) {
    if (source == Source::Move) {
        faults::check("rename", from);
        if (::rename(from.c_str(), to.c_str()) == 0) return syncFolder(folderOf(to));
        if (errno != EXDEV) throw FileError("rename", from, errno);
    } else {
        const fs::path part = temporaryPathFor(to);
        removeFile(part);
        if (tryLink(from, part)) {
            try {
                renameReplacing(part, to);
            } catch (...) {
                discard(part);
                throw;
            }
            return syncFolder(folderOf(to));
        }
    }
    copyThroughTemporary(from, to, true);
    syncFolder(folderOf(to));
}

}  // namespace zestrel::platform
