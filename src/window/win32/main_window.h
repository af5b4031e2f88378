// The native Windows view of frmMain: builds the window and its controls as the layout table
// gives them (twips turned into pixels at the window's dots per inch), fitted to their texts in
// the desktop's message font (never smaller than the table; widened, the path box takes the
// width; refitted when the window moves to a screen of another density), forwards the controls'
// notifications to frmMain's handlers, and implements the window port (status bar, progress bar,
// percentage label, buttons, path box, hourglass pointer, message boxes and questions (task
// dialogs), the open-file dialog, files handed to the shell, pending events, the blocking pause).
// Its labels, status bar and boxes draw text as it is, with no markup (the labels take no "&" for
// an access key either). Browse, Upgrade and Exit have access keys and Esc closes the window as
// its close control does; each control is named for screen readers by the static text before it; the window shows the program's icon in both sizes; a file dropped on it is taken as
// Browse takes the dialog's answer. No toolkit: Win32 and the common controls only.
#pragma once

#include <memory>
#include <windows.h>

#include <shellapi.h>

#include "platform/form_view.h"
#include "window/fitted_layout.h"

namespace zestrel {
class frmMain;
}

namespace zestrel::win32 {

class MainWindow : public platform::FormView {
public:
    explicit MainWindow(HINSTANCE instance);
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    HWND handle() const { return window_; }
    UINT dpi() const { return dpi_; }
    frmMain& form() { return *form_; }
    // Hands a message to the window's keyboard handling (tab order, Space and Enter on the
    // focused button); true when it was used.
    bool translate(MSG& message);

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

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handle(UINT message, WPARAM wParam, LPARAM lParam);
    void buildControls();
    void command(int id, int notification);
    void upgradeClicked();
    int pixels(int twips) const;
    void useDpi(UINT dpi);
    void fitToTexts();
    void placeControls(int width);
    void setIcons();
    void dropped(HDROP drop);
    SIZE frameFor(int clientWidth, int clientHeight) const;

    HINSTANCE instance_;
    HWND window_ = nullptr;
    HWND Label1_ = nullptr, tDb_ = nullptr, cmdOpen_ = nullptr, pBar_ = nullptr, LP_ = nullptr;
    HWND cmdUp_ = nullptr, cmdExit_ = nullptr, sBar_ = nullptr;
    HWND lastFocus_ = nullptr;
    HFONT font_ = nullptr;
    HICON bigIcon_ = nullptr, smallIcon_ = nullptr;
    Extent smallest_;
    ContentNeeds needs_{};
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    bool busy_ = false;
    bool settingPath_ = false;  // the path box changed by the program, not by typing
    std::unique_ptr<frmMain> form_;
};

}  // namespace zestrel::win32
