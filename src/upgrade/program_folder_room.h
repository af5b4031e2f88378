// The program's folder and everything the program keeps in it, in one place: the temporary
// database tempdb.mdb an upgrade copies into, the folder Backup with the original of every
// upgraded cookbook (and the list of the values its upgrade changed), the lock that lets one run
// at a time use the folder, and the record a run keeps while its backup and its cookbook
// disagree. The window, the command line, the upgrade and restore ask here for every one of them.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/folder_lock.h"
#include "upgrade/run_record.h"

namespace zestrel::upgrade {

struct CookbookBackup {
    std::filesystem::path path;
    int number;  // 1 for "_backup.rcp", N for "_backup_N.rcp"
};

class ProgramFolderRoom {
public:
    // The program folder the platform names (set on the command line, or the per-user folder).
    static ProgramFolderRoom current();
    explicit ProgramFolderRoom(std::filesystem::path folder) : folder_(std::move(folder)) {}

    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path temporaryDatabase() const;
    std::filesystem::path backupFolder() const;

    // The lock on the folder, held until it is destroyed; failure 3045 when another run holds it.
    // A folder that cannot even be opened holds no other run's work: the answer is then nothing.
    std::optional<platform::FolderLock> lock() const;
    // Removes what a run that died left: the temporary database and the partial files in Backup.
    void removeLeftovers() const;
    // Creates the Backup folder when it is missing, durably.
    void makeBackupFolder() const;

    // The next free name for a backup of the cookbook named `cookbookName`, and for the kept
    // upgraded cookbook a restore leaves (`suffix` "_upgraded").
    std::filesystem::path freeBackupPath(const std::u16string& cookbookName) const;
    std::filesystem::path freeKeepingPath(const std::u16string& cookbookName, const std::u16string& suffix) const;
    // The backups of a cookbook with this file name, oldest first; none when there is no Backup.
    std::vector<CookbookBackup> backupsOf(const std::u16string& cookbookName) const;

    void writeRunRecord(const RunRecord& record) const;
    void removeRunRecord() const;
    // Finishes what a run that died between its backup and its replacement left (see run_record.h).
    void finishInterruptedRun() const;

private:
    std::filesystem::path folder_;
};

}  // namespace zestrel::upgrade
