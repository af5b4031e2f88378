#include "upgrade/cookbook_backups.h"

#include "platform/file.h"
#include "platform/file_replace.h"
#include "platform/file_system.h"
#include "store/failure_text.h"
#include "store/jet/failure.h"
#include "text/utf8.h"
#include "upgrade/file_name_of.h"
#include "upgrade/program_folder_room.h"

namespace zestrel {

namespace {

// The cookbook's path is empty: the backup moves there (durably; the name never leads to a
// partial file).
Restored moveBackupInto(const std::filesystem::path& backup, const std::filesystem::path& cookbook) {
    platform::moveFile(backup, cookbook);
    platform::syncFolder(cookbook.parent_path().empty() ? std::filesystem::path(".") : cookbook.parent_path());
    platform::syncFolder(backup.parent_path());
    return {backup, {}};
}

// The file at the cookbook's path is kept in Backup first (a hard link, or a durable copy named
// only once complete); then the backup takes its place in one atomic rename. When that fails
// while the path still leads to the kept file, the second copy in Backup goes again.
Restored replaceWithBackup(const upgrade::ProgramFolderRoom& room, const std::filesystem::path& backup,
                           const std::filesystem::path& cookbook, const std::u16string& cookbookName) {
    const std::filesystem::path kept = room.freeKeepingPath(cookbookName, u"_upgraded");
    const auto standing = platform::fileIdentity(cookbook);
    platform::linkOrCopy(cookbook, kept);
    try {
        platform::replaceFile(backup, cookbook, platform::Source::Move);
    } catch (...) {
        const Failure failure = currentFailure();
        if (platform::fileIdentity(cookbook) == standing) platform::discardFile(kept);
        throw failure;
    }
    platform::removeFile(backup);  // what a copy from another file system left; gone after a rename
    platform::syncFolder(backup.parent_path());
    return {backup, kept};
}

}  // namespace

Restored restoreNewestBackup(const std::filesystem::path& cookbookPath) {
    const auto room = upgrade::ProgramFolderRoom::current();
    const std::filesystem::path folder = room.backupFolder();
    const auto lock = room.lock();  // held to the end
    const std::u16string name = dbFunction::FileNameOf(cookbookPath.u16string());
    const auto backups = room.backupsOf(name);
    if (backups.empty())
        throw Failure(failure::runtime::kFileNotFound, "File not found: there is no backup of " + text::toUtf8(name) + " in " +
                                         text::toUtf8(folder.u16string()) + ". Nothing was changed.");
    // Through a symbolic link the file itself is replaced, and the link goes on leading to it.
    const std::filesystem::path cookbook = platform::followLink(cookbookPath);
    platform::removeTemporaries(folder);
    platform::removeFile(platform::temporaryPathFor(cookbook));  // what a run that died left beside it
    if (!platform::entryExists(cookbook)) return moveBackupInto(backups.back().path, cookbook);
    return replaceWithBackup(room, backups.back().path, cookbook, name);
}

}  // namespace zestrel
