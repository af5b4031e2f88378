// The port through which the program talks to its one window.
//
// The main window's logic (frmMain) and the procedures that report to the user
// use only this interface: status text, progress bar, percentage label,
// buttons, path box, busy pointer, modal message boxes, the open-file dialog,
// letting pending window events run, and the blocking pause. A Qt view, a
// recording view (tests) and a terminal view (the command-line program)
// implement it. The window toolkit is a platform service, so the port lives
// with the other platform services.
#pragma once

#include <optional>
#include <string>

namespace zestrel::platform {

inline constexpr const char16_t* kApplicationTitle = u"Zestrel Cookbook Upgrade";

enum class MsgIcon { Critical, Warning, Information };

struct OpenFileRequest {
    std::u16string title;
    std::u16string filterDescription;  // e.g. "Zestrel Cookbook (*.rcp)"
    std::u16string filterPattern;      // e.g. "*.rcp"
    std::u16string fileName;           // preset file name
};

class FormView {
public:
    virtual ~FormView() = default;

    virtual void setStatusText(const std::u16string& text) = 0;
    virtual void setProgressVisible(bool visible) = 0;
    virtual void setProgressValue(int value) = 0;       // 0 to 100
    virtual void setPercentCaption(const std::u16string& caption) = 0;
    virtual void setUpgradeEnabled(bool enabled) = 0;
    virtual void setExitEnabled(bool enabled) = 0;
    virtual void setBrowseEnabled(bool enabled) = 0;
    virtual void setPathText(const std::u16string& text) = 0;  // the path box; frmMain runs the change rule
    // Whether the user can type into the path box (not while an upgrade runs).
    virtual void setPathReadOnly(bool readOnly) = 0;
    virtual std::u16string pathText() const = 0;
    virtual void setBusyPointer(bool busy) = 0;
    // A modal box with one OK button; an empty title means the application title.
    virtual void messageBox(const std::u16string& text, MsgIcon icon, const std::u16string& title) = 0;
    // The chosen file's full path, or nothing when the user cancelled.
    virtual std::optional<std::u16string> openFile(const OpenFileRequest& request) = 0;
    virtual void doEvents() = 0;
    virtual void pause(int milliseconds) = 0;

    // What the window tells its user to do next (click Browse, click Upgrade), in the status bar
    // and, when a command cannot go on, in a box. A window shows them as any other status text and
    // box; a view that is driven without clicks (the command line) may leave them out.
    virtual void setInstructionText(const std::u16string& text) { setStatusText(text); }
    virtual void instructionBox(const std::u16string& text, MsgIcon icon) { messageBox(text, icon, u""); }
};

// The window the procedures outside the window report to (set by the window when it is created).
void setMessageView(FormView* view);
FormView* messageView();

// A message box on the current window; with no window it is written to standard error.
void MsgBox(const std::u16string& text, MsgIcon icon, const std::u16string& title = u"");

// "<number> - <description>", the form in which every failure is shown.
std::u16string failureMessage(long number, const std::u16string& description);

}  // namespace zestrel::platform
