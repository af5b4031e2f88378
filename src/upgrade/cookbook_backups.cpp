#include "upgrade/cookbook_backups.h"

#include <algorithm>
#include <optional>

#include "platform/file.h"
#include "platform/file_replace.h"
#include "platform/file_system.h"
#include "store/failure_text.h"
#include "store/jet/failure.h"
#include "text/utf8.h"
#include "upgrade/file_name_of.h"
#include "upgrade/frm_main_upgrade.h"
#include "upgrade/program_folder_lock.h"

namespace zestrel {

namespace {

constexpr std::int32_t kFileNotFound = 53;
constexpr std::size_t kMostDigits = 9;  // far beyond any number of upgrades, and within an int

// The number N of a backup's file name: 1 for stem + "_backup.rcp", N for stem + "_backup_N.rcp"
// (N from 2, without leading zeros, as the upgrade writes it); nothing for any other name.
std::optional<int> backupNumber(const std::u16string& name, const std::u16string& stem) {
    const std::u16string start = stem + u"_backup";
    const std::u16string end = u".rcp";
    if (name.size() < start.size() + end.size() || name.compare(0, start.size(), start) != 0 ||
        name.compare(name.size() - end.size(), end.size(), end) != 0)
        return std::nullopt;
    const std::u16string middle = name.substr(start.size(), name.size() - start.size() - end.size());
    if (middle.empty()) return 1;
    if (middle.size() < 2 || middle.size() > kMostDigits + 1 || middle[0] != u'_' || middle[1] == u'0') return std::nullopt;
    int number = 0;
    for (std::size_t i = 1; i < middle.size(); ++i) {
        if (middle[i] < u'0' || middle[i] > u'9') return std::nullopt;
        number = number * 10 + (middle[i] - u'0');
    }
    return number >= 2 ? std::optional<int>(number) : std::nullopt;
}

// The cookbook's path is empty: the backup moves there (durably; the name never leads to a
// partial file).
Restored moveBackupInto(const std::filesystem::path& backup, const std::filesystem::path& cookbook) {
    platform::moveFile(backup, cookbook);
    platform::syncFolder(cookbook.parent_path().empty() ? std::filesystem::path(".") : cookbook.parent_path());
    platform::syncFolder(backup.parent_path());
    return {backup, {}};
}

// The file at the cookbook's path is kept in Backup first (a hard link, or a durable copy named
// only once complete); then the backup takes its place in one atomic rename. When that fails
// while the path still leads to the kept file, the second copy in Backup goes again.
Restored replaceWithBackup(const std::filesystem::path& backup, const std::filesystem::path& cookbook,
                           const std::u16string& cookbookName) {
    const std::filesystem::path kept = freeKeepingPath(backup.parent_path(), cookbookName, u"_upgraded");
    const auto standing = platform::fileIdentity(cookbook);
    platform::linkOrCopy(cookbook, kept);
    try {
        platform::replaceFile(backup, cookbook, platform::Source::Move);
    } catch (...) {
        const Failure failure = currentFailure();
        if (platform::fileIdentity(cookbook) == standing) platform::discardFile(kept);
        throw failure;
    }
    platform::removeFile(backup);  // what a copy from another file system left; gone after a rename
    platform::syncFolder(backup.parent_path());
    return {backup, kept};
}

}  // namespace

std::vector<CookbookBackup> backupsOf(const std::filesystem::path& backupFolder, const std::u16string& cookbookName) {
    std::vector<CookbookBackup> backups;
    if (cookbookName.size() < 4 || !platform::folderExists(backupFolder)) return backups;
    const std::u16string stem = cookbookName.substr(0, cookbookName.size() - 4);
    for (const auto& entry : std::filesystem::directory_iterator(backupFolder)) {
        if (!entry.is_regular_file() || platform::isTemporaryPath(entry.path())) continue;
        if (const auto number = backupNumber(entry.path().filename().u16string(), stem))
            backups.push_back({entry.path(), *number});
    }
    std::sort(backups.begin(), backups.end(), [](const auto& a, const auto& b) { return a.number < b.number; });
    return backups;
}

Restored restoreNewestBackup(const std::filesystem::path& cookbookPath) {
    const std::filesystem::path program = platform::programFolder();
    const std::filesystem::path folder = program / "Backup";
    const auto lock = lockProgramFolder(program);  // held to the end
    const std::u16string name = dbFunction::FileNameOf(cookbookPath.u16string());
    const auto backups = backupsOf(folder, name);
    if (backups.empty())
        throw Failure(kFileNotFound, "File not found: there is no backup of " + text::toUtf8(name) + " in " +
                                         text::toUtf8(folder.u16string()) + ". Nothing was changed.");
    // Through a symbolic link the file itself is replaced, and the link goes on leading to it.
    const std::filesystem::path cookbook = platform::followLink(cookbookPath);
    platform::removeTemporaries(folder);
    platform::removeFile(platform::temporaryPathFor(cookbook));  // what a run that died left beside it
    if (!platform::entryExists(cookbook)) return moveBackupInto(backups.back().path, cookbook);
    return replaceWithBackup(backups.back().path, cookbook, name);
}

}  // namespace zestrel
