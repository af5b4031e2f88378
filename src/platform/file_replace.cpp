#include "platform/file_replace.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/platform_steps.h"

namespace zestrel::platform {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTemporarySuffix = ".zestrel-partial";

}  // namespace

// FNV-1a over the name's bytes: short, and the same on every run and every system.
fs::path temporaryPathFor(const fs::path& final) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const auto c : final.filename().u8string()) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
    return final.parent_path() / (std::string(".") + digits + kTemporarySuffix);
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

void requireAt(const fs::path& path, const std::pair<std::uint64_t, std::uint64_t>& identity) {
    const auto state = fileState(path);
    if (!state || state->identity() != identity) throw FileError("confirm", path, kReplacedByAnother);
}

namespace {

fs::path folderOf(const fs::path& path) { return path.has_parent_path() ? path.parent_path() : fs::path("."); }

FileState stateAt(const fs::path& path) {
    const auto state = fileState(path);
    if (!state) throw FileError("stat", path, ENOENT);
    return *state;
}

// A durable copy under the temporary name, given the access of the file it replaces (or, when it
// replaces none, of the file it copies) through its open handle, then renamed to `to` and
// confirmed there.
AccessCarried copyThroughTemporary(const fs::path& from, const fs::path& to, const FileState& access, bool replacing,
                                   const std::function<void()>& beforeRename) {
    const fs::path part = temporaryPathFor(to);
    removeFile(part);  // what a run that died left
    File copy = copyFileDurably(from, part);
    try {
        const AccessCarried carried = copy.takeAccessOf(access);
        const auto identity = copy.identity();
        copy.close();
        if (beforeRename) beforeRename();
        renameFile(part, to, replacing);
        requireAt(to, identity);
        return carried;
    } catch (...) {
        { File closing = std::move(copy); }  // closed first: Windows deletes no file held open
        discardFile(part);                   // the failure on its way counts, not this; a name
                                             // already renamed away is not there to remove
        throw;
    }
}

// Opens the file at `path`, which must be the one of that identity (a link this run just made),
// never through a symbolic link.
// Whether a hard link from `file` can be made in the folder of `to`: both on one volume. A link
// is tried only then, since a system may make one across what it reports as two volumes (wine's
// drives on one Linux file system), and the link could then never be confirmed as the same file.
bool linkableInto(const FileState& file, const fs::path& to) {
    const auto folder = fileState(folderOf(to));
    return folder && folder->device == file.device;
}

File openSame(const fs::path& path, const std::pair<std::uint64_t, std::uint64_t>& identity) {
    File file = File::open(path, OpenMode::ReadOnly, Links::Refuse);
    if (file.identity() != identity) throw FileError("confirm", path, kReplacedByAnother);
    return file;
}

}  // namespace

void linkOrCopy(const fs::path& from, const fs::path& to) {
    if (entryExists(to)) throw FileError("copy to", to, EEXIST);
    const FileState original = stateAt(from);
    if (original.links > 1 || !linkableInto(original, to) || !tryLink(from, to))
        copyThroughTemporary(from, to, original, false, {});
    else requireAt(to, original.identity());
    syncFolder(folderOf(to));
}

AccessCarried replaceFile(const fs::path& from, const fs::path& to, Source source,
                          const std::function<void()>& beforeRename) {
    const FileState replaced = stateAt(to);
    if (source == Source::Move) {
        // On another file system the copy below is the way, and `beforeRename` runs before its
        // rename; a rename refused although both lie on one device (two mounts of it) goes that way too.
        if (stateAt(from).device == replaced.device) {
            File moving = File::open(from, OpenMode::ReadOnly, Links::Refuse);
            const AccessCarried carried = moving.takeAccessOf(replaced);
            const auto identity = moving.identity();
            moving.close();
            if (beforeRename) beforeRename();
            if (tryRenameReplacing(from, to)) {
                requireAt(to, identity);
                syncFolder(folderOf(to));
                return carried;
            }
        }
    } else {
        const fs::path part = temporaryPathFor(to);
        removeFile(part);
        const FileState kept = stateAt(from);
        const auto identity = kept.identity();
        if (linkableInto(kept, to) && tryLink(from, part)) {
            try {
                File linked = openSame(part, identity);
                const AccessCarried carried = linked.takeAccessOf(replaced);
                linked.close();
                if (beforeRename) beforeRename();
                renameFile(part, to, true);
                requireAt(to, identity);
                syncFolder(folderOf(to));
                return carried;
            } catch (...) {
                discardFile(part);
                throw;
            }
        }
    }
    const AccessCarried carried = copyThroughTemporary(from, to, replaced, true, beforeRename);
    syncFolder(folderOf(to));
    return carried;
}

}  // namespace zestrel::platform
