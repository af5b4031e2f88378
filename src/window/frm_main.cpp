#include "window/frm_main.h"

#include <cerrno>
#include <filesystem>
#include <optional>

#include "format/create_cookbook.h"
#include "platform/path_text.h"
#include "platform/file_replace.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "store/db_function.h"
#include "store/failure_text.h"
#include "store/jet/failure.h"
#include "text/utf8.h"
#include "upgrade/program_folder_room.h"
#include "upgrade/source_check.h"
#include "upgrade/source_layout.h"
#include "window/cookbook_name.h"
#include "window/named_path.h"

namespace zestrel {

namespace {

constexpr const char16_t* kUpgradeThreshold = u"1.2";
constexpr const char16_t* kVersionWithoutMarker = u"1.0";
constexpr std::size_t kVersionLength = 3;

}  // namespace

std::u16string withCookbookExtension(const std::u16string& path) {
    std::u16string tail = path.size() > 4 ? path.substr(path.size() - 4) : path;
    for (auto& c : tail)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 0x20);
    return tail == u".rcp" ? path : path + u".rcp";
}

namespace {

bool isFullPath(const std::u16string& text) {
    try {
        return platform::pathOfText(text).is_absolute();
    } catch (...) {
        return false;  // no file system can take it (a lone surrogate)
    }
}

}  // namespace

bool versionBefore(const std::u16string& a, const std::u16string& b) { return a.compare(b) < 0; }

frmMain::frmMain(platform::FormView& view) : FrmMainUpgrade(view) { platform::setMessageView(&view); }

frmMain::~frmMain() {
    if (platform::messageView() == &view_) platform::setMessageView(nullptr);
}

void frmMain::Form_Load() { view_.setInstructionText(kBrowseInstruction); }

bool frmMain::Form_QueryUnload() {
    if (!running_) return true;
    constexpr std::size_t kStop = 0, kGoOn = 1;
    const platform::Question stop{u"An upgrade is running. Stop it? The cookbook stays as it was.",
                                  platform::MsgIcon::Warning, {u"Stop the upgrade", u"Go on"}, kGoOn, kGoOn};
    if (view_.questionBox(stop) == kStop) stopRequested_ = true;
    return false;
}

void frmMain::Form_Unload() { unloaded_ = true; }

void frmMain::cmdExit_Click() { Form_Unload(); }

void frmMain::setPathBox(const std::u16string& text) {
    view_.setPathText(text);
    tDb_Change();
}

void frmMain::tDb_Change() {
    if (!running_) view_.setUpgradeEnabled(!view_.pathText().empty());
}

void frmMain::cmdOpen_Click() {
    if (running_) return;
    std::optional<std::u16string> chosen;
    try {
        chosen = view_.openFile({u"Open Cookbook", u"Zestrel Cookbook (*.rcp)", u"*.rcp", u""});
    } catch (...) {
        return;  // Browse ends silently at the step that failed, whatever failed
    }
    if (chosen) chooseCookbook(*chosen);  // a cancel changes nothing
}

frmMain::Choice frmMain::chooseCookbook(const std::u16string& path) {
    return chooseCookbookAsNamed(withCookbookExtension(path));
}

frmMain::Choice frmMain::chooseCookbookAsNamed(const std::u16string& path) {
    offered_ = false;
    tablesLayout_.reset();
    try {
        sCookbookPath = path;
        setPathBox(sCookbookPath);
        dbFunction::OpenCookbook(sCookbookPath);
        sCookbookVersion = dbFunction::ReadCookbookVersion();
        sCookbookVersion = sCookbookVersion.substr(0, kVersionLength);
        dbFunction::CloseCookbook();
        // The tables decide which upgrade a cookbook needs; the marker alone can be wrong, and no
        // marker is also what a file that is no database at all gives.
        const upgrade::SourceLayout found = upgrade::sourceLayoutOf(sCookbookPath, sCookbookVersion);
        if (!found.layout && !versionBefore(sCookbookVersion, kUpgradeThreshold)) return turnDownAsCurrent();
        if (!found.layout) {
            // A damaged file, or one behind a password, may well be a cookbook: it is said to be
            // unreadable, not to be none.
            const bool damaged = found.problem.starts_with(u"3049 - ") || found.problem.starts_with(u"3031 - ");
            view_.messageBox(u"\"" + sCookbookPath + (damaged ? u"\" cannot be read: " : u"\" is not a cookbook that can be upgraded: ") + found.problem,
                             platform::MsgIcon::Warning, u"");
            setPathBox(u"");
            view_.setUpgradeEnabled(false);
            view_.setInstructionText(kBrowseInstruction);
            return Choice::NotACookbook;
        }
        tablesLayout_ = found.layout;
        sayMarkerDisagrees(*found.layout);
        view_.setInstructionText(kSelectedPrefix + shownVersion() + kUpgradeInstruction);
        offered_ = true;
        return Choice::Offered;
    } catch (...) {
        return Choice::Failed;  // Browse ends silently at the step that failed, whatever failed
    }
}

frmMain::Choice frmMain::cookbookDropped(const std::vector<std::u16string>& items) {
    if (running_ || items.empty()) return Choice::Failed;
    if (items.size() > 1) {
        view_.messageBox(u"Only one cookbook can be upgraded at a time: drop a single file.", platform::MsgIcon::Warning,
                         u"");
        return Choice::NotACookbook;
    }
    const NamedPath named = pathNamedBy(items.front());
    if (!named.problem.empty()) {
        sayNoCookbookNamed(items.front(), named.problem);
        return Choice::NotACookbook;
    }
    // A dropped text that is no file's full path (a word, a web address) names nothing to open.
    if (!isFullPath(named.path)) {
        sayNoCookbookNamed(items.front(), u"it is not a file on this computer.");
        return Choice::NotACookbook;
    }
    return chooseCookbookAsNamed(cookbookPathNamed(named.path));
}

// The warning of a text that names no cookbook, in the words Browse uses for a file that is none.
void frmMain::sayNoCookbookNamed(const std::u16string& text, const std::u16string& why) {
    view_.messageBox(u"\"" + text + u"\" is not a cookbook that can be upgraded: " + why, platform::MsgIcon::Warning,
                     u"");
}

std::u16string frmMain::shownVersion() const {
    if (tablesLayout_) return upgrade::layoutName(*tablesLayout_);
    return sCookbookVersion.empty() ? kVersionWithoutMarker : sCookbookVersion;
}

// A marker that names another layout than the tables are, or none that is known, is said plainly
// before the upgrade of the tables' layout is offered.
void frmMain::sayMarkerDisagrees(upgrade::Layout tables) {
    const std::u16string marker = sCookbookVersion.empty() ? kVersionWithoutMarker : sCookbookVersion;
    const std::u16string layout = upgrade::layoutName(tables);
    if (marker == layout) return;
    const std::u16string says = sCookbookVersion.empty() ? u"The cookbook has no version marker"
                                                         : u"The cookbook says " + sCookbookVersion;
    view_.messageBox(says + u", but its tables are those of " + layout + u". It is upgraded as a cookbook of " + layout +
                         u".",
                     platform::MsgIcon::Warning, u"");
}

// The cookbook the path box shows, offered for an upgrade: the one chosen last, or else the box's
// path chosen now as Browse chooses it.
bool frmMain::shownCookbookOffered() {
    const std::u16string typed = view_.pathText();
    if (typed.empty()) {
        view_.setUpgradeEnabled(false);
        view_.instructionBox(kBrowseInstruction, platform::MsgIcon::Warning);
        return false;
    }
    const NamedPath shown = pathNamedBy(typed);
    if (!shown.problem.empty()) {
        sayNoCookbookNamed(typed, shown.problem);
        return false;
    }
    if (offered_ && shown.path == sCookbookPath) return true;
    return chooseCookbookAsNamed(cookbookPathNamed(shown.path)) == Choice::Offered;
}

namespace {

// A cookbook another program holds open for writing (the cookbook program itself) cannot be read
// as one whole: the run stops with the numbered failure before it creates or moves anything.
// Any other trouble with the cookbook is reported where the upgrade meets it, as before.
void requireCookbookNotHeld(const std::u16string& cookbook) {
    if (cookbook.empty()) return;
    try {
        platform::File::open(platform::pathOfText(cookbook), platform::OpenMode::ReadOnly).close();
    } catch (const platform::FileError& e) {
        if (e.errorNumber() == EBUSY)
            throw Failure(failure::kCannotOpenFile, "Cannot open \"" + platform::shownText(cookbook) +
                                                        "\": another program has it open. Close that program and try again.");
    }
}

// Marks a run for as long as it lasts, also when it ends by an exception.
class RunGuard {
public:
    RunGuard(bool& running, platform::FormView& view) : running_(running), view_(view) {
        running_ = true;
        view_.setPathReadOnly(true);
    }
    ~RunGuard() {
        running_ = false;
        view_.setPathReadOnly(false);
    }
    RunGuard(const RunGuard&) = delete;
    RunGuard& operator=(const RunGuard&) = delete;

private:
    bool& running_;
    platform::FormView& view_;
};

}  // namespace

void frmMain::cmdUp_Click() {
    if (running_) return;
    view_.setUpgradeEnabled(false);  // looks pressed from the click on, also while the choice is checked
    if (!upgradeOffered()) return;
    const upgrade::Layout layout = *tablesLayout_;  // an offered cookbook's tables are of an old layout
    offered_ = false;  // a run needs a new choice, whatever its outcome
    stopRequested_ = false;
    if (runUpgrade(layout) == RunAnswer::Cancel) offerAgain();
}

frmMain::RunAnswer frmMain::runUpgrade(upgrade::Layout layout) {
    const RunGuard guard(running_, view_);
    view_.setBrowseEnabled(false);
    std::u16string failure;
    RunAnswer answer = RunAnswer::Failed;
    outcome_ = {};
    std::optional<platform::FolderLock> lock;  // held to the end of the run
    try {
        const auto room = upgrade::ProgramFolderRoom::current();
        view_.setExitEnabled(false);
        lock = room.lock();
        requireCookbookNotHeld(sCookbookPath);
        room.tidy();
        upgrade::requireReadyToCopy(sCookbookPath, layout, sCookbookVersion);
        view_.setBusyPointer(true);
        view_.setProgressVisible(true);
        answer = previewChanges(layout, room.temporaryDatabase(), room.previewList());
        if (answer == RunAnswer::Upgrade) copyInto(layout, room.temporaryDatabase());
    } catch (...) {
        const Failure caught = currentFailure();
        failure = failureText(caught);
        outcome_.result = upgrade::RunOutcome::Result::Failed;
        outcome_.failure = caught;
        answer = RunAnswer::Failed;
    }
    endRun(failure);
    return answer;
}

void frmMain::copyInto(upgrade::Layout layout, const std::filesystem::path& temporary) {
    view_.setStatusText(u"Create temporary file...");
    view_.pause(500);
    dbFunction::CreateCookbook(platform::textOfPath(temporary));
    view_.setStatusText(u"Copying data from old cookbook...");
    view_.pause(500);
    runMethod(layout, temporary);
}

// The method is the one the tables call for, whatever the marker says.
void frmMain::runMethod(upgrade::Layout layout, const std::filesystem::path& temporary) {
    if (layout == upgrade::Layout::V10) UpVersion_10(sCookbookPath, platform::textOfPath(temporary));
    if (layout == upgrade::Layout::V11) UpVersion_11(sCookbookPath, platform::textOfPath(temporary));
}

// A cancelled preview leaves the cookbook chosen and offered, as it was before Upgrade.
void frmMain::offerAgain() {
    outcome_ = {};
    offered_ = true;
    view_.setInstructionText(kSelectedPrefix + shownVersion() + kUpgradeInstruction);
    tDb_Change();
}

// Whether the cookbook the path box shows is offered. The choice it may need runs with Upgrade
// kept disabled; once it is refused, the change rule gives the button back as the box now reads.
bool frmMain::upgradeOffered() {
    bool offered = false;
    {
        const RunGuard choosing(running_, view_);
        offered = shownCookbookOffered();
    }
    if (!offered) tDb_Change();
    return offered;
}

// The window at rest again, then the run's failure.
void frmMain::endRun(const std::u16string& failure) {
    view_.setProgressValue(0);
    view_.setProgressVisible(false);
    view_.setPercentCaption(u"");
    view_.setBusyPointer(false);
    if (!failure.empty()) view_.messageBox(failure, platform::MsgIcon::Critical, u"");
    view_.setExitEnabled(true);
    view_.setBrowseEnabled(true);
}

}  // namespace zestrel
