#include "upgrade/run_record.h"

#include <optional>
#include <string>
#include <vector>

#include "platform/file_replace.h"
#include "upgrade/backup_naming.h"
#include "upgrade/backup_origin.h"
#include "upgrade/record_file.h"
#include "upgrade/record_text.h"

namespace zestrel::upgrade {

namespace fs = std::filesystem;

namespace {

constexpr const char* kRecordName = ".zestrel-run";
constexpr std::string_view kKind = "zestrel run 1";
const std::vector<std::string_view> kKeys = {"cookbook", "backup", "device", "inode", "size"};

std::optional<RunRecord> readRunRecord(const platform::Folder& programFolder) {
    const auto text = readRecordFile(programFolder, kRecordName);
    if (!text) return std::nullopt;
    const auto values = record::read(*text, kKind, kKeys);
    if (!values) return std::nullopt;
    const auto device = record::unsignedNumber((*values)[2]);
    const auto inode = record::unsignedNumber((*values)[3]);
    const auto size = record::unsignedNumber((*values)[4]);
    const fs::path backup = record::pathFromBytes((*values)[1]);
    // A name in the Backup folder itself: no folder part, no "." or "..".
    const bool plainName = !backup.empty() && backup == backup.filename() && backup != "." && backup != "..";
    if (!device || !inode || !size || !plainName) return std::nullopt;
    return RunRecord{record::pathFromBytes((*values)[0]), backup, {*device, *inode}, *size};
}

// The cookbook's path still leads to the original the record names.
bool stillTheOriginal(const RunRecord& run) {
    try {
        const auto folder = platform::Folder::of(run.cookbook);
        const auto now = folder.entry(run.cookbook.filename());
        return now && now->identity() == run.original;
    } catch (const platform::FileError&) {
        return false;
    }
}

// The backup the record names is the one a run made of that original and nothing else (or the run
// died before it made it, after it wrote the backup's record).
bool backupOfTheOriginal(const platform::Folder& backupFolder, const RunRecord& run) {
    const auto origin = readOrigin(backupFolder, run.backupName, KeptAs::Backup);
    if (!origin || origin->identity != run.original || origin->resolved != run.cookbook || origin->upgraded) return false;
    const auto backup = backupFolder.entry(run.backupName);
    return !backup || (backup->isRegular() && backup->size == run.size);
}

void removeBackupOfNoUpgrade(const platform::Folder& backupFolder, const RunRecord& run) {
    backupFolder.remove(changeListPathFor(run.backupName));
    backupFolder.remove(changeTablePathFor(run.backupName));
    backupFolder.remove(run.backupName);
    backupFolder.remove(originNameFor(run.backupName));
    backupFolder.sync();
}

}  // namespace

void writeRunRecord(const platform::Folder& programFolder, const RunRecord& run) {
    const record::Fields fields = {{"cookbook", record::pathBytes(run.cookbook)},
                                   {"backup", record::pathBytes(run.backupName)},
                                   {"device", std::to_string(run.original.first)},
                                   {"inode", std::to_string(run.original.second)},
                                   {"size", std::to_string(run.size)}};
    writeRecordFile(programFolder, kRecordName, record::write(kKind, fields));
}

void removeRunRecord(const platform::Folder& programFolder) { programFolder.remove(kRecordName); }

void finishInterruptedRun(const platform::Folder& programFolder, const platform::Folder& backupFolder) {
    programFolder.remove(platform::temporaryPathFor(kRecordName));
    if (!programFolder.entry(kRecordName)) return;
    if (const auto run = readRunRecord(programFolder); run && stillTheOriginal(*run) && backupOfTheOriginal(backupFolder, *run))
        removeBackupOfNoUpgrade(backupFolder, *run);
    removeRunRecord(programFolder);
    programFolder.sync();
}

}  // namespace zestrel::upgrade
