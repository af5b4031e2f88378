// The program's folder and everything the program keeps in it, in one place: the temporary
// database tempdb.mdb an upgrade copies into, the folder Backup with the original of every
// upgraded cookbook (the list of the values its upgrade changed and the record of the cookbook it
// came from beside it), the lock that lets one run at a time use the folder, and the record a run
// keeps while its backup and its cookbook disagree. The window, the command line, the upgrade and
// restore ask here for every one of them.
//
// What the folder holds is read back and obeyed (records, backups), so it must be private: owned
// by the caller (or root) and writable by nobody else, as is Backup in it. A run refuses any other
// folder before it writes anything there.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/folder.h"
#include "platform/folder_lock.h"
#include "upgrade/backup_origin.h"
#include "upgrade/run_record.h"

namespace zestrel::upgrade {

struct CookbookBackup {
    std::filesystem::path path;
    CookbookOrigin origin;
};

class ProgramFolderRoom {
public:
    // The program folder the platform names (set on the command line, or the per-user folder).
    static ProgramFolderRoom current();
    explicit ProgramFolderRoom(std::filesystem::path folder) : folder_(std::move(folder)) {}

    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path temporaryDatabase() const;
    std::filesystem::path backupFolder() const;
    // The list of what an upgrade would change that the window shows before it upgrades (one at a
    // time: each preview writes it afresh).
    std::filesystem::path previewList() const;

    // The lock on the folder, held until it is destroyed; failure 3045 when another run holds it,
    // failure 70 when the folder or its Backup folder is not the caller's own and private. A folder
    // that cannot even be opened holds no other run's work: the answer is then nothing.
    std::optional<platform::FolderLock> lock() const;
    // Removes what a run that died left: the temporary database, the partial and spilled files here
    // and in Backup; and finishes what a run that died between its backup and its replacement left
    // (run_record.h).
    void tidy() const;
    // Creates the Backup folder when it is missing, durably.
    void makeBackupFolder() const;
    // The Backup folder, held open (it must exist).
    platform::Folder openBackupFolder() const;
    platform::Folder openFolder() const;

    // The next free name for a backup of the cookbook named `cookbookName`, and for the kept
    // upgraded cookbook a restore leaves (`suffix` "_upgraded").
    std::filesystem::path freeBackupPath(const std::u16string& cookbookName) const;
    std::filesystem::path freeKeepingPath(const std::u16string& cookbookName, const std::u16string& suffix) const;
    // The backups whose records tie them to the cookbook at the resolved path `cookbook` (whose
    // file now has the identity `now`), oldest first; none when there is no Backup.
    std::vector<CookbookBackup> backupsOf(const std::filesystem::path& cookbook, const std::optional<Identity>& now) const;
    // The backups of a cookbook with this file name that have no record (made by an earlier
    // version of the program), oldest first: restored only when named.
    std::vector<std::filesystem::path> unrecordedBackupsOf(const std::u16string& cookbookName) const;

    void writeRunRecord(const RunRecord& record) const;
    void removeRunRecord() const;

private:
    std::filesystem::path folder_;
};

}  // namespace zestrel::upgrade
