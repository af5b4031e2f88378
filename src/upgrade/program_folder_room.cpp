#include "upgrade/program_folder_room.h"

#include <algorithm>

#include "platform/file_replace.h"
#include "platform/file_system.h"
#include "upgrade/backup_naming.h"
#include "upgrade/program_folder_lock.h"

namespace zestrel::upgrade {

ProgramFolderRoom ProgramFolderRoom::current() { return ProgramFolderRoom(platform::programFolder()); }

std::filesystem::path ProgramFolderRoom::temporaryDatabase() const { return folder_ / "tempdb.mdb"; }

std::filesystem::path ProgramFolderRoom::backupFolder() const { return folder_ / "Backup"; }

std::optional<platform::FolderLock> ProgramFolderRoom::lock() const { return lockProgramFolder(folder_); }

void ProgramFolderRoom::removeLeftovers() const {
    const std::filesystem::path temporary = temporaryDatabase();
    if (platform::fileExists(temporary)) platform::deleteFile(temporary);
    platform::removeTemporaries(backupFolder());
}

void ProgramFolderRoom::makeBackupFolder() const {
    if (platform::entryExists(backupFolder())) return;
    platform::createFolder(backupFolder());
    platform::syncFolder(folder_);
}

std::filesystem::path ProgramFolderRoom::freeBackupPath(const std::u16string& cookbookName) const {
    return upgrade::freeBackupPath(backupFolder(), cookbookName);
}

std::filesystem::path ProgramFolderRoom::freeKeepingPath(const std::u16string& cookbookName,
                                                         const std::u16string& suffix) const {
    return upgrade::freeKeepingPath(backupFolder(), cookbookName, suffix);
}

std::vector<CookbookBackup> ProgramFolderRoom::backupsOf(const std::u16string& cookbookName) const {
    std::vector<CookbookBackup> backups;
    const std::filesystem::path folder = backupFolder();
    if (cookbookName.size() < 4 || !platform::folderExists(folder)) return backups;
    const std::u16string stem = cookbookName.substr(0, cookbookName.size() - 4);
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (!entry.is_regular_file() || platform::isTemporaryPath(entry.path())) continue;
        if (const auto number = backupNumber(entry.path().filename().u16string(), stem))
            backups.push_back({entry.path(), *number});
    }
    std::sort(backups.begin(), backups.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
    return backups;
}

void ProgramFolderRoom::writeRunRecord(const RunRecord& record) const { upgrade::writeRunRecord(folder_, record); }

void ProgramFolderRoom::removeRunRecord() const { upgrade::removeRunRecord(folder_); }

void ProgramFolderRoom::finishInterruptedRun() const { upgrade::finishInterruptedRun(folder_); }

}  // namespace zestrel::upgrade
