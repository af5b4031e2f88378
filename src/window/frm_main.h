// frmMain, the program's one window, without any toolkit: its event handlers
// and the state they share. It talks to its window only through the FormView
// port; the record count (store/) and the upgrade methods (upgrade/) are the
// layers of this class that the other subsystems define.
#pragma once

#include <string>

#include "platform/form_view.h"
#include "upgrade/frm_main_upgrade.h"

namespace zestrel {

class frmMain : public FrmMainUpgrade {
public:
    // Message boxes of the dbFunction procedures go to this window while it exists.
    explicit frmMain(platform::FormView& view);
    ~frmMain() override;

    void Form_Load();
    void Form_Unload();
    void cmdExit_Click();
    void cmdOpen_Click();
    // What Browse does once its dialog has given a path: the extension rule, the path box, the
    // version check and its status text or warning. Starting the window with a file runs this.
    void chooseCookbook(const std::u16string& path);
    void tDb_Change();
    // The Upgrade command. Browse is disabled while it runs, so that no Browse can change the
    // version or path a run works on.
    void cmdUp_Click();

    // Sets the path box and runs its change rule, as every assignment to the box does.
    void setPathBox(const std::u16string& text);

    bool unloaded() const { return unloaded_; }

private:
    bool unloaded_ = false;
};

// Version texts compared code unit by code unit: "" < "1.0" < "1.1" < "1.2" < "1.3".
bool versionBefore(const std::u16string& a, const std::u16string& b);

}  // namespace zestrel
