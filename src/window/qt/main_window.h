// The Qt 6 view of frmMain: builds the window and its controls exactly as the
// layout table gives them, forwards the controls' signals to frmMain's
// handlers, and implements the window port (status text, progress bar,
// percentage label, buttons, path box, busy pointer, modal message boxes,
// the open-file dialog, pending events, the blocking pause).
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QWidget>

#include <memory>

#include "platform/form_view.h"

namespace zestrel {
class frmMain;
}

namespace zestrel::qt {

class MainWindow : public QWidget, public platform::FormView {
    Q_OBJECT

public:
    MainWindow();
    ~MainWindow() override;

    frmMain& form() { return *form_; }

    // platform::FormView
    void setStatusText(const std::u16string& text) override;
    void setProgressVisible(bool visible) override;
    void setProgressValue(int value) override;
    void setPercentCaption(const std::u16string& caption) override;
    void setUpgradeEnabled(bool enabled) override;
    void setExitEnabled(bool enabled) override;
    void setBrowseEnabled(bool enabled) override;
    void setPathText(const std::u16string& text) override;
    std::u16string pathText() const override;
    void setPathReadOnly(bool readOnly) override;
    void setBusyPointer(bool busy) override;
    void messageBox(const std::u16string& text, platform::MsgIcon icon, const std::u16string& title) override;
    std::optional<std::u16string> openFile(const platform::OpenFileRequest& request) override;
    void doEvents() override;
    void pause(int milliseconds) override;

    QLabel* Label1;
    QLineEdit* tDb;
    QPushButton* cmdOpen;
    QProgressBar* pBar;
    QLabel* LP;
    QPushButton* cmdUp;
    QPushButton* cmdExit;
    QStatusBar* sBar;
    QLabel* statusPanel;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    std::unique_ptr<frmMain> form_;
};

// The program's icon as the desktop shows it: the installed theme's "zestrel-upgrade", else the
// one built into the program (every size of data/icons, 16 by 16 for the title bar among them).
QIcon programIcon();
// The icon built into the program alone.
QIcon embeddedIcon();

}  // namespace zestrel::qt
