// The names of the files an upgrade keeps in the Backup folder: the backup of a cookbook, the
// list of the values its upgrade changed beside it, and the kept upgraded cookbook a restore
// leaves. A name already taken is never reused: the next free number goes in.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zestrel::upgrade {

// The backup path for a cookbook file name in the Backup folder: the name without its last four
// characters, then "_backup.rcp"; when that is taken, "_backup_2.rcp", "_backup_3.rcp" and on.
std::filesystem::path freeBackupPath(const std::filesystem::path& backupFolder, const std::u16string& cookbookName);
// The same with another suffix in place of "_backup" ("_upgraded": "family_upgraded.rcp", then
// "family_upgraded_2.rcp" and on).
std::filesystem::path freeKeepingPath(const std::filesystem::path& folder, const std::u16string& cookbookName,
                                      const std::u16string& suffix);

// The number N of a backup's file name for the cookbook stem (its name without ".rcp"): 1 for
// stem + "_backup.rcp", N for stem + "_backup_N.rcp" (N from 2, without leading zeros, as the
// upgrade writes it); nothing for any other name.
std::optional<int> backupNumber(const std::u16string& name, const std::u16string& stem);

// Where the list of a backup goes: beside it, "<backup name without .rcp>_changes.txt".
std::filesystem::path changeListPathFor(const std::filesystem::path& backup);
// Where its table for spreadsheets goes: "<backup name without .rcp>_changes.tsv".
std::filesystem::path changeTablePathFor(const std::filesystem::path& backup);

}  // namespace zestrel::upgrade
