// The record a run keeps in the program's folder while a backup of its cookbook exists but the
// cookbook has not been replaced yet.
//
// A run killed between the two leaves a backup of an upgrade that never happened. The next run
// in the same program folder reads the record: when the cookbook's path still leads to the
// original the record names, that backup goes (it is only a second copy of the cookbook); when
// the cookbook was replaced, the backup is the real one and stays. The record is written durably
// before the backup is made and removed once the replacement or its undoing is complete.
#pragma once

#include <cstdint>
#include <filesystem>
#include <utility>

namespace zestrel::upgrade {

struct RunRecord {
    std::filesystem::path cookbook;
    std::filesystem::path backup;
    std::pair<std::uint64_t, std::uint64_t> original;  // device and inode of the cookbook backed up
    std::uint64_t size = 0;                             // its size
};

void writeRunRecord(const std::filesystem::path& programFolder, const RunRecord& record);
void removeRunRecord(const std::filesystem::path& programFolder);
// Reads the record a run that died left, removes its backup when the upgrade never happened, and
// removes the record. Nothing to do when there is none; a record that cannot be read is removed.
void finishInterruptedRun(const std::filesystem::path& programFolder);

}  // namespace zestrel::upgrade
