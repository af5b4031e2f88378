#include "window/frm_main.h"

#include <cerrno>
#include <optional>

#include "format/create_cookbook.h"
#include "platform/folder_lock.h"
#include "platform/file_replace.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "store/db_function.h"
#include "store/failure_text.h"
#include "store/jet/failure.h"
#include "text/utf8.h"

namespace zestrel {

namespace {

constexpr const char16_t* kUpgradeThreshold = u"1.2";
constexpr const char16_t* kVersionWithoutMarker = u"1.0";
constexpr std::size_t kVersionLength = 3;

// The extension rule: a path whose last four characters are not ".rcp" in any case gets ".rcp".
std::u16string withCookbookExtension(const std::u16string& path) {
    std::u16string tail = path.size() > 4 ? path.substr(path.size() - 4) : path;
    for (auto& c : tail)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 0x20);
    return tail == u".rcp" ? path : path + u".rcp";
}

}  // namespace

bool versionBefore(const std::u16string& a, const std::u16string& b) { return a.compare(b) < 0; }

frmMain::frmMain(platform::FormView& view) : FrmMainUpgrade(view) { platform::setMessageView(&view); }

frmMain::~frmMain() {
    if (platform::messageView() == &view_) platform::setMessageView(nullptr);
}

void frmMain::Form_Load() { view_.setStatusText(u"Click on Browse button to select a cookbook."); }

void frmMain::Form_Unload() { unloaded_ = true; }

void frmMain::cmdExit_Click() { Form_Unload(); }

void frmMain::setPathBox(const std::u16string& text) {
    view_.setPathText(text);
    tDb_Change();
}

void frmMain::tDb_Change() {
    if (!running_ && !view_.pathText().empty()) view_.setUpgradeEnabled(true);
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

void frmMain::chooseCookbook(const std::u16string& path) {
    try {
        sCookbookPath = withCookbookExtension(path);
        setPathBox(sCookbookPath);
        dbFunction::OpenCookbook(sCookbookPath);
        sCookbookVersion = dbFunction::ReadCookbookVersion();
        sCookbookVersion = sCookbookVersion.substr(0, kVersionLength);
        dbFunction::CloseCookbook();
        if (versionBefore(sCookbookVersion, kUpgradeThreshold)) {
            const std::u16string shown = sCookbookVersion.empty() ? kVersionWithoutMarker : sCookbookVersion;
            view_.setStatusText(u"Selected cookbook version is " + shown + u", click Upgrade to start.");
        } else {
            view_.messageBox(u"This cookbook is already up to date. You don't need to upgrade it.",
                             platform::MsgIcon::Warning, u"");
            setPathBox(u"");
        }
    } catch (...) {
        // Browse ends silently at the step that failed, whatever failed.
    }
}

}  // namespace zestrel

namespace zestrel {

namespace {

constexpr std::int32_t kFileInUse = 3045;

// One upgrade at a time per program folder: the temporary database and the Backup folder are
// shared by every run that uses the folder (the window and the command-line program alike). A
// run that finds the lock held stops before it touches anything. A folder that cannot even be
// opened holds no other run's work; the steps that follow report why it cannot be used.
// A cookbook another program holds open for writing (the cookbook program itself) cannot be read
// as one whole: the run stops with the numbered failure before it creates or moves anything.
// Any other trouble with the cookbook is reported where the upgrade meets it, as before.
void requireCookbookNotHeld(const std::u16string& cookbook) {
    if (cookbook.empty()) return;
    try {
        platform::File::open(std::filesystem::path(cookbook), platform::OpenMode::ReadOnly).close();
    } catch (const platform::FileError& e) {
        if (e.errorNumber() == EBUSY)
            throw Failure(failure::kCannotOpenFile, "Cannot open \"" + text::toUtf8(cookbook) +
                                                        "\": another program has it open. Close that program and try again.");
    }
}

std::optional<platform::FolderLock> lockProgramFolder(const std::filesystem::path& folder) {
    std::optional<platform::FolderLock> lock;
    try {
        lock = platform::FolderLock::tryAcquire(folder);
    } catch (const platform::FileError& e) {
        if (e.errorNumber() == ENOENT || e.errorNumber() == ENOTDIR || e.errorNumber() == EACCES) return std::nullopt;
        throw;
    }
    if (!lock)
        throw Failure(kFileInUse, "Could not use the program folder " + text::toUtf8(folder.u16string()) +
                                      ": another upgrade is running there. Nothing was changed.");
    return lock;
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
    const RunGuard guard(running_, view_);
    view_.setBrowseEnabled(false);
    std::u16string failure;
    bool upgraded = false;
    std::optional<platform::FolderLock> lock;  // held to the end of the run
    try {
        const std::filesystem::path folder = platform::programFolder();
        const std::filesystem::path temporary = folder / "tempdb.mdb";
        view_.setExitEnabled(false);
        view_.setUpgradeEnabled(false);
        lock = lockProgramFolder(folder);
        requireCookbookNotHeld(sCookbookPath);
        if (platform::fileExists(temporary)) platform::deleteFile(temporary);
        platform::removeTemporaries(folder / "Backup");
        view_.setBusyPointer(true);
        view_.setProgressVisible(true);
        view_.setStatusText(u"Create temporary file...");
        view_.pause(500);
        dbFunction::CreateCookbook(temporary.u16string());
        view_.setStatusText(u"Copying data from old cookbook...");
        view_.pause(500);
        const std::u16string version = sCookbookVersion;
        if (version.empty()) UpVersion_10(sCookbookPath, temporary.u16string());
        if (version == u"1.1") UpVersion_11(sCookbookPath, temporary.u16string());
        upgraded = version.empty() || version == u"1.1";
    } catch (...) {
        failure = failureText(currentFailure());
    }
    endRun(failure, upgraded);
}

// The window at rest again, then the run's failure or, when no upgrade method ran, the warning.
void frmMain::endRun(const std::u16string& failure, bool upgraded) {
    view_.setProgressValue(0);
    view_.setProgressVisible(false);
    view_.setPercentCaption(u"");
    view_.setBusyPointer(false);
    if (!failure.empty()) view_.messageBox(failure, platform::MsgIcon::Critical, u"");
    else if (!upgraded)
        view_.messageBox(u"This cookbook's version (" + sCookbookVersion + u") cannot be upgraded. Nothing was changed.",
                         platform::MsgIcon::Warning, u"");
    view_.setExitEnabled(true);
    view_.setBrowseEnabled(true);
}

}  // namespace zestrel
