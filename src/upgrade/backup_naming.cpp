#include "upgrade/backup_naming.h"

#include "platform/file_system.h"
#include "platform/path_text.h"
#include "store/jet/failure.h"
#include "text/utf8.h"
#include "upgrade/backup_origin.h"

namespace zestrel::upgrade {

namespace {

constexpr std::size_t kMostDigits = 9;  // far beyond any number of upgrades, and within an int
constexpr std::size_t kExtensionLength = 4;  // ".rcp", which the backup's name replaces

}  // namespace

std::filesystem::path freeBackupPath(const std::filesystem::path& backupFolder, const std::u16string& cookbookName) {
    return freeKeepingPath(backupFolder, cookbookName, u"_backup");
}

std::filesystem::path freeKeepingPath(const std::filesystem::path& folder, const std::u16string& cookbookName,
                                      const std::u16string& suffix) {
    if (cookbookName.size() < kExtensionLength)
        throw Failure(failure::runtime::kInvalidProcedureCall, "Invalid procedure call or argument: the cookbook name \"" +
                                                                   platform::shownText(cookbookName) +
                                                                   "\" is shorter than four characters.");
    const std::u16string stem = cookbookName.substr(0, cookbookName.size() - kExtensionLength) + suffix;
    std::filesystem::path candidate = folder / platform::pathOfText(stem + u".rcp");
    // A list of changes or a record left from a backup of that name, since removed, takes the name too.
    const auto taken = [](const std::filesystem::path& backup) {
        return platform::entryExists(backup) || platform::entryExists(changeListPathFor(backup)) ||
               platform::entryExists(backup.parent_path() / originNameFor(backup.filename()));
    };
    for (int number = 2; taken(candidate); ++number) {
        const std::string digits = std::to_string(number);
        candidate = folder / platform::pathOfText(stem + u"_" + std::u16string(digits.begin(), digits.end()) + u".rcp");
    }
    return candidate;
}

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

namespace {

std::filesystem::path besideBackup(const std::filesystem::path& backup, const char16_t* ending) {
    std::u16string name = platform::textOfPath(backup.filename());
    if (name.size() >= kExtensionLength) name.resize(name.size() - kExtensionLength);
    return backup.parent_path() / platform::pathOfText(name + ending);
}

}  // namespace

std::filesystem::path changeListPathFor(const std::filesystem::path& backup) { return besideBackup(backup, u"_changes.txt"); }

std::filesystem::path changeTablePathFor(const std::filesystem::path& backup) { return besideBackup(backup, u"_changes.tsv"); }

}  // namespace zestrel::upgrade
