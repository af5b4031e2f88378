// frmMain, the program's one window, without any toolkit: its event handlers
// and the state they share. It talks to its window only through the FormView
// port; the record count (store/) and the upgrade methods (upgrade/) are the
// layers of this class that the other subsystems define.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/form_view.h"
#include "upgrade/frm_main_upgrade.h"

namespace zestrel {

class frmMain : public FrmMainUpgrade {
public:
    // Message boxes of the dbFunction procedures go to this window while it exists.
    explicit frmMain(platform::FormView& view);
    ~frmMain() override;

    void Form_Load();
    // The window is asked to close. At rest it may; while an upgrade runs the owner is asked
    // whether to stop it, and a stop is taken at the run's next step: the run is undone as a
    // failure is, and the window closes once it has ended (closeAfterRun). True when the window
    // may close now.
    bool Form_QueryUnload();
    bool closeAfterRun() const { return stopRequested_; }
    void Form_Unload();
    void cmdExit_Click();
    // Browse; refused while an upgrade runs.
    void cmdOpen_Click();

    // What a choice of a cookbook came to.
    enum class Choice {
        Offered,       // its tables are those of layout 1.0 or 1.1, whatever its marker: Upgrade may start
        UpToDate,      // marked 1.2 or later, and its tables are of no old layout: the up-to-date warning
        NotACookbook,  // no database, or tables of neither old layout: a warning says why
        Failed,        // a step failed; Browse ends silently
    };
    // What Browse does once its dialog has given a path: the extension rule, the path box, the
    // version check and its status text or warning. Starting the window with a file runs this.
    Choice chooseCookbook(const std::u16string& path);
    // The same for a path taken as it is, without the extension rule (the command line names
    // existing files exactly).
    Choice chooseCookbookAsNamed(const std::u16string& path);
    // Files dropped on the window, each as the drop names it (a path, or a file:// address): one
    // local file is chosen as Browse chooses the dialog's answer; anything else (several files, a
    // text or address that names no local file) is refused with a warning and changes nothing.
    // Nothing dropped is taken while an upgrade runs.
    Choice cookbookDropped(const std::vector<std::u16string>& items);
    // The change rule: a non-empty path box enables Upgrade and an empty one disables it, except
    // while an upgrade runs.
    void tDb_Change();
    // The Upgrade command, on the cookbook the path box shows (a file:// address in it is read as
    // the local path it names): a path other than the one chosen
    // and offered (typed into the box, or the same path after a run) is first chosen as Browse
    // chooses it, and upgraded only when that offers it; an empty box upgrades nothing. While it runs the window takes no new command: Browse is disabled,
    // the path box is read-only, the change rule enables nothing, and a Browse or Upgrade that
    // reaches the window between rows is refused, so no run can start inside another or have its
    // version or path changed. A version that no upgrade method takes gets a warning box.
    // Where the window can ask, a run whose copy would shorten or change values first tries the
    // copy (a dry run), says how many values in how many recipes, and offers the list of them
    // before it upgrades; a cancel leaves the cookbook offered, as it was before Upgrade.
    void cmdUp_Click();
    bool running() const { return running_; }
    // The version the window shows for the cookbook chosen last: the layout its tables are when
    // it was offered, else its marker ("1.0" for none).
    std::u16string shownVersion() const;

    // Sets the path box and runs its change rule, as every assignment to the box does.
    void setPathBox(const std::u16string& text);

    bool unloaded() const { return unloaded_; }

private:
    enum class RunAnswer { Upgrade, Cancel, Failed };
    RunAnswer runUpgrade(upgrade::Layout layout);
    void copyInto(upgrade::Layout layout, const std::filesystem::path& temporary);
    void runMethod(upgrade::Layout layout, const std::filesystem::path& temporary);
    // The dry run and the owner's answer to what it found (change_preview.cpp).
    RunAnswer previewChanges(upgrade::Layout layout, const std::filesystem::path& temporary,
                             const std::filesystem::path& list);
    RunAnswer askAboutChanges(const std::filesystem::path& list);
    void offerAgain();
    // An up-to-date cookbook turned down, with the offer to put its newest backup back where it
    // has one and the window can ask (backup_offer.cpp).
    Choice turnDownAsCurrent();
    bool askToPutBack(const std::filesystem::path& backup);
    Choice putBackNewest();
    bool shownCookbookOffered();
    bool upgradeOffered();
    void endRun(const std::u16string& failure);
    void sayMarkerDisagrees(upgrade::Layout tables);
    void sayNoCookbookNamed(const std::u16string& text, const std::u16string& why);

    bool unloaded_ = false;
    bool running_ = false;
    bool offered_ = false;  // sCookbookPath was offered for an upgrade and has not been run since
    std::optional<upgrade::Layout> tablesLayout_;  // the layout the tables of sCookbookPath are
};

// The window's own instructions and its up-to-date warning (the command line says instead what
// it does).
inline constexpr const char16_t* kBrowseInstruction = u"Click on Browse button to select a cookbook.";
inline constexpr const char16_t* kSelectedPrefix = u"Selected cookbook version is ";
inline constexpr const char16_t* kUpgradeInstruction = u", click Upgrade to start.";
inline constexpr const char16_t* kUpToDateWarning = u"This cookbook is already up to date. You don't need to upgrade it.";

// The extension rule of Browse: a path whose last four characters are not ".rcp" in any letter
// case gets ".rcp" appended (Family.RCP stays, Family.txt becomes Family.txt.rcp).
std::u16string withCookbookExtension(const std::u16string& path);

// The question a preview asks: "The new layout will shorten or change 3 values in 2 recipes. ..."
std::u16string previewQuestion(std::size_t values, std::size_t recipes);

// Version texts compared code unit by code unit: "" < "1.0" < "1.1" < "1.2" < "1.3".
bool versionBefore(const std::u16string& a, const std::u16string& b);

}  // namespace zestrel
