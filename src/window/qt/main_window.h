// The Qt 6 view of frmMain: builds the window and its controls as the layout
// table gives them, fitted to their texts at the window's font (never smaller
// than the table; widened, the path box takes the width), forwards the
// controls' signals to frmMain's handlers, and implements the window port
// (status text, progress bar, percentage label, buttons, path box, busy
// pointer, modal message boxes and questions, the open-file dialog, files
// handed to the desktop, pending events, the blocking pause). Every text it
// shows is plain text, and a box's text can be selected and copied. Browse, Upgrade and Exit have access keys; Esc closes the
// window as its close control does. Every control has a name for screen
// readers (the path box is named by the prompt, its buddy), and status texts
// are announced. A file dropped anywhere on the window is taken as Browse
// takes the dialog's answer.
#pragma once

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QWidget>

#include <memory>

#include "platform/form_view.h"
#include "window/fitted_layout.h"

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
    bool asksQuestions() const override { return true; }
    std::size_t questionBox(const platform::Question& question) override;
    void openWithDesktop(const std::filesystem::path& file) override;
    void showInFolder(const std::filesystem::path& file) override;

    QLabel* Label1 = nullptr;
    QLineEdit* tDb = nullptr;
    QPushButton* cmdOpen = nullptr;
    QProgressBar* pBar = nullptr;
    QLabel* LP = nullptr;
    QPushButton* cmdUp = nullptr;
    QPushButton* cmdExit = nullptr;
    QStatusBar* sBar = nullptr;
    QLabel* statusPanel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void buildControls();
    void describeForScreenReaders();
    // Measures the texts, sets the smallest size from them, and lays the controls out.
    void fitToTexts();
    void placeControls(int width);
    bool statusTextFits(const QString& text) const;
    void upgradeClicked();
    ContentNeeds needs_{};
    std::unique_ptr<frmMain> form_;
};

// The program's icon as the desktop shows it: the installed theme's "zestrel-upgrade", else the
// one built into the program (every size of data/icons, 16 by 16 for the title bar among them).
QIcon programIcon();
// The icon built into the program alone.
QIcon embeddedIcon();

}  // namespace zestrel::qt
