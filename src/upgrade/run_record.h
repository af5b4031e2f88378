// The record a run keeps in the program's folder while a backup of its cookbook exists but the
// cookbook has not been replaced yet.
//
// A run killed between the two leaves a backup of an upgrade that never happened. The next run
// in the same program folder reads the record: when the cookbook's path still leads to the
// original the record names, that backup goes (it is only a second copy of the cookbook); when
// the cookbook was replaced, the backup is the real one and stays. The record is written durably
// before the backup is made and removed once the replacement or its undoing is complete.
//
// The record is read back only when it is the caller's own and nobody else may write it, and only
// whole and well formed (record_text). It can make the next run remove one file only: a backup in
// the Backup folder, named there without any folder part, whose own record names the same
// original, device and inode.
#pragma once

#include <cstdint>
#include <filesystem>
#include <utility>

#include "platform/folder.h"

namespace zestrel::upgrade {

struct RunRecord {
    std::filesystem::path cookbook;    // resolved
    std::filesystem::path backupName;  // a name in the Backup folder
    std::pair<std::uint64_t, std::uint64_t> original;  // device and inode of the cookbook backed up
    std::uint64_t size = 0;                             // its size
};

void writeRunRecord(const platform::Folder& programFolder, const RunRecord& record);
void removeRunRecord(const platform::Folder& programFolder);
// Reads the record a run that died left, removes its backup when the upgrade never happened, and
// removes the record. Nothing to do when there is none; a record that cannot be trusted or read is
// removed and obeyed in nothing.
void finishInterruptedRun(const platform::Folder& programFolder, const platform::Folder& backupFolder);

}  // namespace zestrel::upgrade
