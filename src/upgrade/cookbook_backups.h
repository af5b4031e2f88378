// The backups an upgrade left of a cookbook in the Backup folder, and putting
// the newest of them back.
//
// A cookbook named "family.rcp" has its backups in Backup as
// "family_backup.rcp", "family_backup_2.rcp", "family_backup_3.rcp" and on,
// each upgrade taking the next free name, so the highest number is the newest.
// Restoring gives the cookbook's path the newest backup with the upgrade's
// guarantees: the program folder's lock for the whole of it, the file that
// stood there kept first in Backup as "family_upgraded.rcp" (or the next free
// "_upgraded_N" name; nothing there is ever overwritten), then the backup put in
// its place in one atomic, durable step. Nothing is lost either way: the path
// leads at every moment to the upgraded cookbook or to the restored backup.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace zestrel {

struct Restored {
    std::filesystem::path backup;  // the backup that is now at the cookbook's path
    std::filesystem::path kept;    // where the file that stood there is kept; empty when there was none
};

// Puts the newest backup of the cookbook at `cookbook` back in its place, in the program folder's
// Backup folder. Failure 3045 when another run holds the program folder, 53 when the cookbook has
// no backup; any failure leaves the cookbook's path and the backups as they were.
Restored restoreNewestBackup(const std::filesystem::path& cookbook);

}  // namespace zestrel
