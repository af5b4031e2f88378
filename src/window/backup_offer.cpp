// Undo from the window: a cookbook chosen again after its upgrade is turned down as up to date,
// and where it has a backup of its own the same box offers to put the newest one back, by the
// restore the command line's "zestrel restore" runs.
#include <optional>

#include "store/failure_text.h"
#include "upgrade/cookbook_backups.h"
#include "platform/path_text.h"
#include "window/frm_main.h"

namespace zestrel {

namespace {

constexpr std::size_t kKeep = 0, kPutBack = 1;

// The newest backup recorded as this cookbook's own; nothing when there is none or the Backup
// folder cannot be read (the warning is then shown as it always was).
std::optional<std::filesystem::path> newestBackupOf(const std::u16string& cookbook) {
    try {
        const BackupsOfCookbook backups = backupsOfCookbook(platform::pathOfText(cookbook));
        if (backups.recorded.empty()) return std::nullopt;
        return backups.recorded.back().path;
    } catch (...) {
        return std::nullopt;
    }
}

std::u16string restoredText(const Restored& restored, const std::u16string& cookbook) {
    if (restored.alreadyThere)
        return u"The cookbook " + cookbook + u" already holds its backup " + platform::textOfPath(restored.backup) +
               u". Nothing was changed.";
    std::u16string text = u"The backup " + platform::textOfPath(restored.backup) + u" is back at " + cookbook +
                          u". The backup stays in the Backup folder";
    if (!restored.kept.empty()) text += u"; the upgraded cookbook is kept as " + platform::textOfPath(restored.kept);
    return text + u".";
}

}  // namespace

frmMain::Choice frmMain::turnDownAsCurrent() {
    outcome_ = {};
    outcome_.result = upgrade::RunOutcome::Result::AlreadyCurrent;
    const std::optional<std::filesystem::path> backup =
        view_.asksQuestions() ? newestBackupOf(sCookbookPath) : std::nullopt;
    if (!backup) {
        view_.instructionBox(kUpToDateWarning, platform::MsgIcon::Warning);
        setPathBox(u"");
        return Choice::UpToDate;
    }
    const bool putBack = askToPutBack(*backup);
    setPathBox(u"");
    return putBack ? putBackNewest() : Choice::UpToDate;
}

bool frmMain::askToPutBack(const std::filesystem::path& backup) {
    const platform::Question offer{std::u16string(kUpToDateWarning) +
                                       u"\n\nIts backup from before the upgrade is kept: " + platform::textOfPath(backup) +
                                       u"\nPut the backup back in its place? The upgraded cookbook is then kept "
                                       u"in the Backup folder.",
                                   platform::MsgIcon::Warning,
                                   {u"OK", u"Put the backup back"},
                                   kKeep,
                                   kKeep};
    return view_.questionBox(offer) == kPutBack;
}

// The restored cookbook is then chosen again, as Browse would choose it.
frmMain::Choice frmMain::putBackNewest() {
    const std::u16string cookbook = sCookbookPath;
    try {
        const Restored restored = restoreNewestBackup(platform::pathOfText(cookbook));
        view_.messageBox(restoredText(restored, cookbook), platform::MsgIcon::Information, u"");
    } catch (...) {
        view_.messageBox(failureText(currentFailure()), platform::MsgIcon::Critical, u"Restore");
        return Choice::UpToDate;
    }
    return chooseCookbookAsNamed(cookbook);
}

}  // namespace zestrel
