#include "cli/cookbook_commands.h"

#include <iostream>
#include <optional>

#include "cli/terminal_view.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "store/failure_text.h"
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
    const std::u16string named = platform::pathFromUtf8(file).u16string();
    if (platform::entryExists(std::filesystem::path(named))) return named;
    const std::u16string withExtension = withCookbookExtension(named);
    if (withExtension != named && platform::entryExists(std::filesystem::path(withExtension))) return withExtension;
    std::cerr << "zestrel: " << file << ": no such file";
    if (withExtension != named) std::cerr << " (nor " << text::toUtf8(withExtension) << ")";
    std::cerr << '\n';
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
        std::cerr << "zestrel: the program folder " << folder.string() << " cannot be used: " << e.what() << "; "
                  << nothingDone << '\n';
        return false;
    }
}

bool useProgramFolder(const std::string& programFolder, const char* nothingDone) {
    if (programFolder.empty()) return true;
    const std::filesystem::path folder = platform::pathFromUtf8(programFolder);
    if (!prepareProgramFolder(folder, nothingDone)) return false;
    platform::setProgramFolder(folder);
    return true;
}

// Browse and Upgrade on one cookbook; true when it ends current.
bool upgradeOne(const std::string& file, const UpgradeOptions& options) {
    const auto cookbook = cookbookNamed(file);
    if (!cookbook) return false;
    TerminalView view(std::cerr, platform::standardErrorIsTerminal(), options.quiet);
    const std::string name = text::toUtf8(*cookbook);
    view.setSubject(name);
    frmMain form(view);
    switch (form.chooseCookbookAsNamed(*cookbook)) {
    case frmMain::Choice::Offered: break;
    case frmMain::Choice::UpToDate:
        view.say(name + ": already at version " + shownVersion(form) + "; nothing to do");
        return true;
    case frmMain::Choice::NotACookbook: return false;  // the warning said why
    case frmMain::Choice::Failed:
        std::cerr << name << ": the cookbook could not be read; nothing was changed\n";
        return false;
    }
    form.setDryRun(options.dryRun);
    view.say(name + ": version " + shownVersion(form) + (options.dryRun ? ", trying the upgrade" : ", upgrading") + kEllipsis);
    form.cmdUp_Click();
    // A dry run's list is its result: the values an upgrade would change.
    if (options.dryRun && !form.valueChanges().empty())
        form.valueChanges().writeTo(std::filesystem::path(*cookbook), {}, [](std::string_view piece) { std::cout << piece; });
    return form.outcome().upgraded();
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
        std::cerr << "zestrel: there is no backup of " << text::toUtf8(cookbook.u16string()) << " in "
                  << text::toUtf8(backups.backupFolder.u16string()) << '\n';
    for (const auto& backup : backups.recorded)
        std::cout << shownTime(platform::localTimeAtSeconds(backup.origin.madeAt / kNanosecondsPerSecond)) << '\t'
                  << text::toUtf8(backup.path.u16string()) << "\tof " << text::toUtf8(backup.origin.resolved.u16string())
                  << '\n';
    for (const auto& path : backups.unrecorded)
        std::cout << modifiedAt(path) << '\t' << text::toUtf8(path.u16string())
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
    const std::string name = text::toUtf8(*cookbook);
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
    bool allCurrent = true;
    for (const auto& file : options.files) allCurrent = upgradeOne(file, options) && allCurrent;
    return allCurrent ? 0 : kExitFailure;
}

int restoreCookbook(const RestoreOptions& options) {
    if (!useProgramFolder(options.programFolder, "nothing was restored")) return kExitFailure;
    const auto cookbook = platform::pathFromUtf8(options.cookbook);
    try {
        if (options.list) return listBackups(cookbook);
        const Restored restored = options.from.empty() ? restoreNewestBackup(cookbook)
                                                       : restoreBackup(platform::pathFromUtf8(options.from), cookbook);
        if (restored.alreadyThere) {
            std::cerr << options.cookbook << ": already holds the backup " << text::toUtf8(restored.backup.u16string())
                      << "; nothing was changed\n";
            return 0;
        }
        std::cerr << options.cookbook << ": restored from " << text::toUtf8(restored.backup.u16string()) << ", which stays there";
        if (!restored.kept.empty()) std::cerr << "; the upgraded cookbook is kept as " << text::toUtf8(restored.kept.u16string());
        std::cerr << '\n';
        return 0;
    } catch (...) {
        std::cerr << options.cookbook << ": " << text::toUtf8(failureText(currentFailure())) << '\n';
        return kExitFailure;
    }
}

}  // namespace zestrel::cli
