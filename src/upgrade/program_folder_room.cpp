#include "upgrade/program_folder_room.h"

#include <algorithm>

#include "platform/file_replace.h"
#include "platform/path_text.h"
#include "platform/file_system.h"
#include "store/jet/failure.h"
#include "text/utf8.h"
#include "upgrade/backup_naming.h"
#include "upgrade/program_folder_lock.h"

namespace zestrel::upgrade {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void refuseShared(const fs::path& folder) {
    throw Failure(failure::runtime::kPermissionDenied,
                  "Permission denied: the program folder " + platform::shownPath(folder) +
                      " is not yours alone (another user owns it or may write in it), so a file planted there could "
                      "be taken for a backup or a record. Make it private (chmod 700 it) or choose another program "
                      "folder. Nothing was changed.");
}

void requirePrivate(const fs::path& folder) {
    const platform::Folder opened = platform::Folder::open(folder);
    if (!platform::privateToCaller(opened.state())) refuseShared(folder);
}

// A file name that is not in the system's encoding (Latin-1 bytes in a UTF-8 system) has no
// UTF-16 form; such a name belongs to no cookbook that can be named.
std::optional<std::u16string> u16NameOf(const fs::path& path) {
    try {
        return platform::textOfPath(path.filename());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

ProgramFolderRoom ProgramFolderRoom::current() { return ProgramFolderRoom(platform::resolvedPath(platform::programFolder())); }

fs::path ProgramFolderRoom::temporaryDatabase() const { return folder_ / "tempdb.mdb"; }

fs::path ProgramFolderRoom::backupFolder() const { return folder_ / "Backup"; }

fs::path ProgramFolderRoom::previewList() const { return folder_ / "preview_changes.txt"; }

std::optional<platform::FolderLock> ProgramFolderRoom::lock() const {
    auto lock = lockProgramFolder(folder_);
    if (!lock) return lock;
    requirePrivate(folder_);
    const auto backup = platform::fileState(backupFolder());
    // A plain file in the way is reported by the step that needs the folder; a link is refused here.
    if (backup && !backup->isRegular()) {
        try {
            requirePrivate(backupFolder());
        } catch (const platform::FileError&) {
            refuseShared(backupFolder());
        }
    }
    return lock;
}

void ProgramFolderRoom::tidy() const {
    const platform::Folder folder = openFolder();
    if (const auto temporary = folder.entry("tempdb.mdb"); temporary && temporary->isRegular()) {
        folder.remove("tempdb.mdb");
        folder.sync();
    }
    platform::removeTemporaries(folder_);  // a record, the list and the sort a run that died left here
    // No Backup folder (or a file in its way, which the upgrade reports): no backup to finish.
    if (!platform::folderExists(backupFolder())) return;
    const platform::Folder backups = openBackupFolder();
    platform::removeTemporaries(backupFolder());
    finishInterruptedRun(folder, backups);
}

void ProgramFolderRoom::makeBackupFolder() const {
    if (platform::entryExists(backupFolder())) return;
    platform::createFolder(backupFolder());
    platform::syncFolder(folder_);
}

platform::Folder ProgramFolderRoom::openBackupFolder() const { return platform::Folder::open(backupFolder()); }

platform::Folder ProgramFolderRoom::openFolder() const { return platform::Folder::open(folder_); }

fs::path ProgramFolderRoom::freeBackupPath(const std::u16string& cookbookName) const {
    return upgrade::freeBackupPath(backupFolder(), cookbookName);
}

fs::path ProgramFolderRoom::freeKeepingPath(const std::u16string& cookbookName, const std::u16string& suffix) const {
    return upgrade::freeKeepingPath(backupFolder(), cookbookName, suffix);
}

std::vector<CookbookBackup> ProgramFolderRoom::backupsOf(const fs::path& cookbook, const std::optional<Identity>& now) const {
    std::vector<CookbookBackup> backups;
    if (!platform::folderExists(backupFolder())) return backups;
    const platform::Folder folder = openBackupFolder();
    std::error_code error;
    for (fs::directory_iterator it(backupFolder(), error), end; !error && it != end; it.increment(error)) {
        const auto kept = keptNameOf(it->path().filename());
        if (!kept) continue;
        const auto origin = readOrigin(folder, *kept, KeptAs::Backup);
        const auto backup = folder.entry(*kept);
        if (origin && backup && backup->isRegular() && origin->belongsTo(cookbook, now))
            backups.push_back({folder.pathOf(*kept), *origin});
    }
    std::sort(backups.begin(), backups.end(), [](const auto& a, const auto& b) {
        return a.origin.madeAt != b.origin.madeAt ? a.origin.madeAt < b.origin.madeAt : a.path < b.path;
    });
    return backups;
}

std::vector<fs::path> ProgramFolderRoom::unrecordedBackupsOf(const std::u16string& cookbookName) const {
    std::vector<std::pair<int, fs::path>> found;
    const fs::path folder = backupFolder();
    if (cookbookName.size() < 4 || !platform::folderExists(folder)) return {};
    const std::u16string stem = cookbookName.substr(0, cookbookName.size() - 4);
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const auto name = u16NameOf(it->path());
        const auto number = name ? backupNumber(*name, stem) : std::nullopt;
        if (number && !platform::entryExists(folder / originNameFor(it->path().filename())))
            found.emplace_back(*number, it->path());
    }
    std::sort(found.begin(), found.end());
    std::vector<fs::path> paths;
    for (auto& [number, path] : found) paths.push_back(std::move(path));
    return paths;
}

void ProgramFolderRoom::writeRunRecord(const RunRecord& record) const { upgrade::writeRunRecord(openFolder(), record); }

void ProgramFolderRoom::removeRunRecord() const { upgrade::removeRunRecord(openFolder()); }

}  // namespace zestrel::upgrade
