// The backups an upgrade left of a cookbook in the Backup folder, and putting one of them back.
//
// A backup belongs to the cookbook whose record it carries (backup_origin.h): the cookbook at the
// same resolved path, or the very file the upgrade put there, wherever it was moved since. Two
// cookbooks of one name in two folders never share a backup. A backup made by an earlier version
// of the program has no record and is put back only when named (restoreBackup).
//
// Restoring copies the backup: it stays in Backup, whole, for a later restore. It runs with the
// upgrade's guarantees: the program folder's lock and the cookbook's own lock for the whole of it
// (an upgrade or a restore of the same cookbook, from any program folder, stops at once), the file
// that stood there kept first in Backup as "family_upgraded.rcp" (or the next free "_upgraded_N"
// name; nothing there is ever overwritten, and a restore that died leaves no second one), then a
// copy this run made of the backup given the cookbook's name in one atomic, durable rename.
// Nothing is lost either way: the path leads at every moment to the upgraded cookbook or to the
// restored backup. Anything at the cookbook's name that is not a regular file, a link another user
// planted, a folder others may write and a backup that is not a Jet database are refused.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "upgrade/program_folder_room.h"

namespace zestrel {

struct Restored {
    std::filesystem::path backup;  // the backup whose copy is now at the cookbook's path
    std::filesystem::path kept;    // where the file that stood there is kept; empty when there was none
    bool alreadyThere = false;     // the cookbook held that backup's content already: nothing was done
};

struct BackupsOfCookbook {
    std::filesystem::path backupFolder;
    std::vector<upgrade::CookbookBackup> recorded;  // this cookbook's own, oldest first
    std::vector<std::filesystem::path> unrecorded;  // of its file name, without a record
};

// The backups of the cookbook at `cookbook` in the program folder's Backup folder.
BackupsOfCookbook backupsOfCookbook(const std::filesystem::path& cookbook);

// Puts a copy of the newest backup of the cookbook at `cookbook` in its place. Failure 3045 when
// another run holds the program folder or the cookbook, 53 when the cookbook has no backup of its
// own; any failure leaves the cookbook's path and the backups as they were.
Restored restoreNewestBackup(const std::filesystem::path& cookbook);
// The same with the backup named `backup` (any Jet database the caller names).
Restored restoreBackup(const std::filesystem::path& backup, const std::filesystem::path& cookbook);

}  // namespace zestrel
