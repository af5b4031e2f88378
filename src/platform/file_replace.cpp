#include "platform/file_replace.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/folder.h"
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

FileState stateAt(const Place& place) {
    const auto state = place.folder.entry(place.name);
    if (!state) throw FileError("stat", place.path(), ENOENT);
    return *state;
}

// A durable copy of the open file `source` under the temporary name of `to`, given the access
// `access` through its open handle, then renamed to `to` and confirmed there.
AccessCarried copyThroughTemporary(const File& source, const Place& to, const FileState& access, bool replacing,
                                   const std::function<void()>& beforeRename, Identity* renamed) {
    const fs::path part = temporaryPathFor(to.name);
    to.folder.remove(part);  // what a run that died left
    File copy = copyFileDurably(source, to.folder, part);
    try {
        const AccessCarried carried = copy.takeAccessOf(access);
        const auto identity = copy.identity();
        copy.close();
        if (beforeRename) beforeRename();
        if (renamed) *renamed = identity;
        to.folder.rename(part, to.folder, to.name, replacing);
        to.folder.requireAt(to.name, identity);
        return carried;
    } catch (...) {
        { File closing = std::move(copy); }  // closed first: Windows deletes no file held open
        to.folder.discard(part);             // the failure on its way counts, not this; a name
                                             // already renamed away is not there to remove
        throw;
    }
}

// The regular file at `place`, opened (never through a link) as the file of state `expected`.
File openAsRecorded(const Place& place, const FileState& expected) {
    File file = place.folder.openFile(place.name, OpenMode::ReadOnly);
    if (file.identity() != expected.identity()) throw FileError("confirm", place.path(), kReplacedByAnother);
    return file;
}

// Whether a hard link from `file` can be made in the folder `to`: both on one volume. A link is
// tried only then, since a system may make one across what it reports as two volumes (wine's
// drives on one Linux file system), and the link could then never be confirmed as the same file.
bool linkableInto(const FileState& file, const Folder& to) { return to.state().device == file.device; }

// `from` takes the name `to` by a hard link under the temporary name, given the access first.
std::optional<AccessCarried> tryLinkInto(const Place& from, const FileState& kept, const Place& to,
                                         const FileState& access, const std::function<void()>& beforeRename,
                                         Identity* renamed) {
    const fs::path part = temporaryPathFor(to.name);
    to.folder.remove(part);
    if (!linkableInto(kept, to.folder) || !from.folder.tryLink(from.name, to.folder, part)) return std::nullopt;
    try {
        File linked = openAsRecorded({to.folder, part}, kept);
        const AccessCarried carried = linked.takeAccessOf(access);
        linked.close();
        if (beforeRename) beforeRename();
        if (renamed) *renamed = kept.identity();
        to.folder.rename(part, to.folder, to.name, true);
        to.folder.requireAt(to.name, kept.identity());
        return carried;
    } catch (...) {
        to.folder.discard(part);
        throw;
    }
}

// The file at `from`, which must be a regular file (a link there is refused, never followed).
FileState regularAt(const Place& from) {
    const FileState state = stateAt(from);
    if (!state.isRegular()) throw FileError("open", from.path(), kNotARegularFile);
    return state;
}

}  // namespace

void linkOrCopy(const Place& from, const Place& to) {
    if (to.folder.entry(to.name)) throw FileError("copy to", to.path(), EEXIST);
    const FileState original = regularAt(from);
    if (original.links > 1 || !linkableInto(original, to.folder) || !from.folder.tryLink(from.name, to.folder, to.name)) {
        const File source = openAsRecorded(from, original);
        copyThroughTemporary(source, to, original, false, {}, nullptr);
    } else {
        to.folder.requireAt(to.name, original.identity());
    }
    to.folder.sync();
}

void linkOrCopy(const fs::path& from, const fs::path& to) {
    const Folder fromFolder = Folder::of(from);
    const Folder toFolder = Folder::of(to);
    linkOrCopy({fromFolder, from.filename()}, {toFolder, to.filename()});
}

AccessCarried replaceFile(const Place& from, const Place& to, Source source, const FileState& access,
                          const std::function<void()>& beforeRename, Identity* renamed) {
    const FileState moving = regularAt(from);
    if (source == Source::Move && linkableInto(moving, to.folder)) {
        // A rename refused although both lie on one device (two mounts of it) goes the copy's way.
        File opened = openAsRecorded(from, moving);
        const AccessCarried carried = opened.takeAccessOf(access);
        opened.close();
        if (beforeRename) beforeRename();
        if (renamed) *renamed = moving.identity();
        if (from.folder.tryRenameReplacing(from.name, to.folder, to.name)) {
            to.folder.requireAt(to.name, moving.identity());
            to.folder.sync();
            return carried;
        }
    } else if (source == Source::Keep) {
        if (const auto carried = tryLinkInto(from, moving, to, access, beforeRename, renamed)) {
            to.folder.sync();
            return *carried;
        }
    }
    const File opened = openAsRecorded(from, moving);
    const AccessCarried carried = copyThroughTemporary(opened, to, access, true, beforeRename, renamed);
    to.folder.sync();
    return carried;
}

AccessCarried replaceFile(const fs::path& from, const fs::path& to, Source source,
                          const std::function<void()>& beforeRename) {
    const Folder fromFolder = Folder::of(from);
    const Folder toFolder = Folder::of(to);
    const Place target{toFolder, to.filename()};
    return replaceFile({fromFolder, from.filename()}, target, source, stateAt(target), beforeRename);
}

}  // namespace zestrel::platform
