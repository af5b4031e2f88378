#include "platform/file_replace.h"

#include <string>

#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/platform_steps.h"

namespace zestrel::platform {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTemporarySuffix = ".zestrel-partial";

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

namespace {

fs::path folderOf(const fs::path& path) { return path.has_parent_path() ? path.parent_path() : fs::path("."); }

// A durable copy under the temporary name, given the permission bits of the file it replaces (or,
// when it replaces none, of the file it copies), then renamed to `to`.
void copyThroughTemporary(const fs::path& from, const fs::path& to, bool replacing) {
    const fs::path part = temporaryPathFor(to);
    removeFile(part);  // what a run that died left
    copyFileDurably(from, part);
    try {
        keepPermissions(replacing ? to : from, part);  // as the replaced file, or as the file copied
        renameFile(part, to, replacing);
    } catch (...) {
        discardFile(part);  // the failure on its way counts, not this
        throw;
    }
}

}  // namespace

void linkOrCopy(const fs::path& from, const fs::path& to) {
    if (entryExists(to)) throw FileError("copy to", to, EEXIST);
    if (!tryLink(from, to)) copyThroughTemporary(from, to, false);
    syncFolder(folderOf(to));
}

void replaceFile(const fs::path& from, const fs::path& to, Source source) {
    if (source == Source::Move) {
        keepPermissions(to, from);
        if (tryRenameReplacing(from, to)) return syncFolder(folderOf(to));
    } else {
        const fs::path part = temporaryPathFor(to);
        removeFile(part);
        if (tryLink(from, part)) {
            try {
                keepPermissions(to, part);
                renameFile(part, to, true);
            } catch (...) {
                discardFile(part);
                throw;
            }
            return syncFolder(folderOf(to));
        }
    }
    copyThroughTemporary(from, to, true);
    syncFolder(folderOf(to));
}

}  // namespace zestrel::platform
