#include "cli/cookbook_commands.h"

#include <iostream>
#include <optional>

#include "cli/shown_text.h"
#include "cli/terminal_view.h"
#include "platform/path_text.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "store/failure_text.h"
#include "store/jet/failure.h"
#include "text/utf8.h"
#include "upgrade/cookbook_backups.h"
#include "upgrade/program_folder_room.h"
#include "window/frm_main.h"

namespace zestrel::cli {

namespace {

constexpr int kExitFailure = 1;
constexpr const char* kEllipsis = "\xE2\x80\xA6";

// The cookbook a name on the command line stands for: the file as named when it exists (so
// "plain.mdb" is taken as it is), else the name with ".rcp" added as Browse adds it when that
// exists. Nothing, and a message saying so, when neither exists.
std::optional<std::u16string> cookbookNamed(const std::string& file) {
    const std::u16string named = platform::textOfPath(platform::pathFromArgument(file));
    if (platform::entryExists(platform::pathOfText(named))) return named;
    const std::u16string withExtension = withCookbookExtension(named);
    if (withExtension != named && platform::entryExists(platform::pathOfText(withExtension))) return withExtension;
    std::cerr << failure::kFileNotFound << " - Could not find file '" << shownName(named) << "'";
    if (withExtension != named) std::cerr << " (nor '" << shownName(withExtension) << "')";
    std::cerr << ".\n";
    return std::nullopt;
}

std::string shownVersion(const frmMain& form) { return text::toUtf8(form.shownVersion()); }

// Makes the folder given with --program-folder, with its parents; false (and a message) when
// it cannot be made or is not a folder.
bool prepareProgramFolder(const std::filesystem::path& folder, const char* nothingDone) {
    std::vector<std::filesystem::path> missing;
    try {
        for (auto at = folder; !at.empty() && !platform::entryExists(at); at = at.parent_path()) {
            missing.push_back(at);
            if (at == at.parent_path()) break;
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) platform::createFolder(*it);
        if (!platform::folderExists(folder)) throw std::runtime_error("it is not a folder");
        return true;
    } catch (const std::exception& e) {
        std::cerr << failure::runtime::kPathFileAccessError << " - The program folder " << shownName(folder) << " cannot be used: " << shownMessage(std::string(e.what())) << "; "
                  << nothingDone << '\n';
        return false;
    }
}

bool useProgramFolder(const std::string& programFolder, const char* nothingDone) {
    if (programFolder.empty()) return true;
    const std::filesystem::path folder = platform::pathFromArgument(programFolder);
    if (!prepareProgramFolder(folder, nothingDone)) return false;
    platform::setProgramFolder(folder);
    return true;
}

// How one cookbook of the command line ended.
enum class Ended { Upgraded, Current, Failed };

// Browse and Upgrade on one cookbook.
Ended upgradeOne(const std::string& file, const UpgradeOptions& options) {
    const auto cookbook = cookbookNamed(file);
    if (!cookbook) return Ended::Failed;
    TerminalView view(std::cerr, platform::standardErrorIsTerminal(), options.quiet);
    view.showStatusLines(options.verbose);
    const std::string name = shownName(*cookbook);
    view.setSubject(name);
    frmMain form(view);
    switch (form.chooseCookbookAsNamed(*cookbook)) {
    case frmMain::Choice::Offered: break;
    case frmMain::Choice::UpToDate:
        view.say(name + ": already at version " + shownVersion(form) + "; nothing to do");
        return Ended::Current;
    case frmMain::Choice::NotACookbook: return Ended::Failed;  // the warning said why
    case frmMain::Choice::Failed:
        std::cerr << name << ": the cookbook could not be read; nothing was changed\n";
        return Ended::Failed;
    }
    form.setDryRun(options.dryRun);
    view.say(name + ": version " + shownVersion(form) + (options.dryRun ? ", trying the upgrade" : ", upgrading") + kEllipsis);
    form.cmdUp_Click();
    // A dry run's list is its result: the values an upgrade would change. A dry run that failed
    // has no list: what it copied before the failure is not all that would change.
    if (options.dryRun && form.outcome().upgraded() && !form.valueChanges().empty())
        form.valueChanges().writeTo(platform::pathOfText(*cookbook), {}, [](std::string_view piece) { std::cout << piece; });
    return form.outcome().upgraded() ? Ended::Upgraded : Ended::Failed;
}

std::string twoDigits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

std::string shownTime(const platform::LocalTime& local) {
    return std::to_string(local.year) + "-" + twoDigits(local.month) + "-" + twoDigits(local.day) + " " +
           twoDigits(local.hour) + ":" + twoDigits(local.minute) + ":" + twoDigits(local.second);
}

// The time a file was last written, in local time: "2026-12-07 22:10:05".
std::string modifiedAt(const std::filesystem::path& path) {
    std::error_code error;
    const auto time = std::filesystem::last_write_time(path, error);
    return error ? "-" : shownTime(platform::localTimeOf(time));
}

constexpr std::int64_t kNanosecondsPerSecond = 1000000000;

// One line per backup: when it was made, where it is, and the cookbook it was made of; a backup
// without a record says so.
int listBackups(const std::filesystem::path& cookbook) {
    const BackupsOfCookbook backups = backupsOfCookbook(cookbook);
    if (backups.recorded.empty() && backups.unrecorded.empty())
        std::cerr << "zestrel: there is no backup of " << shownName(cookbook) << " in "
                  << shownName(backups.backupFolder) << '\n';
    for (const auto& backup : backups.recorded)
        std::cout << shownTime(platform::localTimeAtSeconds(backup.origin.madeAt / kNanosecondsPerSecond)) << '\t'
                  << shownName(backup.path) << "\tof " << shownName(backup.origin.resolved)
                  << '\n';
    for (const auto& path : backups.unrecorded)
        std::cout << modifiedAt(path) << '\t' << shownName(path)
                  << "\tof a cookbook of that name (no record: made by an earlier version; restore it with --from)\n";
    return 0;
}

// What a run that died left in the program folder goes before anything else is done, also when
// every cookbook named is current already. A folder another run holds is left to it.
void tidyProgramFolder() {
    try {
        const auto room = upgrade::ProgramFolderRoom::current();
        if (const auto lock = room.lock()) room.tidy();
    } catch (...) {
        // The upgrade itself reports why the folder cannot be used.
    }
}

}  // namespace

int cookbookVersion(const std::string& file) {
    const auto cookbook = cookbookNamed(file);
    if (!cookbook) return kExitFailure;
    TerminalView view(std::cerr, false);
    frmMain form(view);
    const std::string name = shownName(*cookbook);
    switch (form.chooseCookbookAsNamed(*cookbook)) {
    case frmMain::Choice::Offered: std::cout << name << ": version " << shownVersion(form) << ", upgrade offered\n"; return 0;
    case frmMain::Choice::UpToDate: std::cout << name << ": version " << shownVersion(form) << ", up to date\n"; return 0;
    case frmMain::Choice::NotACookbook: return kExitFailure;  // the warning said why
    case frmMain::Choice::Failed: break;
    }
    std::cerr << name << ": the cookbook could not be read\n";
    return kExitFailure;
}

int upgradeCookbooks(const UpgradeOptions& options) {
    if (!useProgramFolder(options.programFolder, "nothing was upgraded")) return kExitFailure;
    if (!options.dryRun) tidyProgramFolder();
    std::size_t counts[3] = {0, 0, 0};
    for (const auto& file : options.files) ++counts[static_cast<int>(upgradeOne(file, options))];
    const std::size_t failed = counts[static_cast<int>(Ended::Failed)];
    if (options.files.size() > 1 && !options.quiet)
        std::cerr << counts[static_cast<int>(Ended::Upgraded)] << (options.dryRun ? " could be upgraded, " : " upgraded, ")
                  << counts[static_cast<int>(Ended::Current)] << " already at 1.3, " << failed << " failed\n";
    return failed == 0 ? 0 : kExitFailure;
}

int restoreCookbook(const RestoreOptions& options) {
    if (!useProgramFolder(options.programFolder, "nothing was restored")) return kExitFailure;
    const auto cookbook = platform::pathFromArgument(options.cookbook);
    try {
        if (options.list) return listBackups(cookbook);
        const Restored restored = options.from.empty() ? restoreNewestBackup(cookbook)
                                                       : restoreBackup(platform::pathFromArgument(options.from), cookbook);
        if (restored.alreadyThere) {
            std::cerr << shownName(cookbook) << ": already holds the backup " << shownName(restored.backup)
                      << "; nothing was changed\n";
            return 0;
        }
        std::cerr << shownName(cookbook) << ": restored from " << shownName(restored.backup) << ", which stays there";
        if (!restored.kept.empty()) std::cerr << "; the upgraded cookbook is kept as " << shownName(restored.kept);
        std::cerr << '\n';
        return 0;
    } catch (...) {
        std::cerr << shownName(cookbook) << ": " << shownMessage(failureText(currentFailure())) << '\n';
        return kExitFailure;
    }
}

}  // namespace zestrel::cli
