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

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

inline constexpr const char16_t* kApplicationTitle = u"Zestrel Cookbook Upgrade";

enum class MsgIcon { Critical, Warning, Information };

struct OpenFileRequest {
    std::u16string title;
    std::u16string filterDescription;  // e.g. "Zestrel Cookbook (*.rcp)"
    std::u16string filterPattern;      // e.g. "*.rcp"
    std::u16string fileName;           // preset file name
};

// A modal box that asks: its text and icon, and the answers as its buttons, in order.
struct Question {
    std::u16string text;
    MsgIcon icon = MsgIcon::Information;
    std::vector<std::u16string> answers;
    std::size_t defaultAnswer = 0;  // what Enter answers
    std::size_t cancelAnswer = 0;   // what Esc or the box's close control answers
};

class FormView {
public:
    virtual ~FormView() = default;

    virtual void setStatusText(const std::u16string& text) = 0;
    virtual void setProgressVisible(bool visible) = 0;
    virtual void setProgressValue(int value) = 0;       // 0 to 100
    virtual void setPercentCaption(const std::u16string& caption) = 0;
    // The rows the copy has reached (the row at hand counted) of the rows counted before it began,
    // given after the bar's value of the same step; zero counted when the count is not known. The
    // window's bar shows the share alone; a view may show the rows beside it.
    virtual void setRowsCopied(std::uint64_t /*copied*/, std::uint64_t /*counted*/) {}
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

    // Whether the view can put a question to its user. A window can; the command line asks
    // nothing, and what a window would ask about it does not do.
    virtual bool asksQuestions() const { return false; }
    // The answer the user chose, as its place in `answers`; a view that asks nothing shows nothing
    // and answers `cancelAnswer`. The box carries the application's title.
    virtual std::size_t questionBox(const Question& question) { return question.cancelAnswer; }
    // Opens a file in the program the desktop reads such files with (a text file in its viewer).
    virtual void openWithDesktop(const std::filesystem::path& /*file*/) {}
    // Opens the folder that holds a file in the desktop's file manager, the file selected.
    virtual void showInFolder(const std::filesystem::path& /*file*/) {}
};

// The window the procedures outside the window report to (set by the window when it is created).
void setMessageView(FormView* view);
FormView* messageView();

// A message box on the current window; with no window it is written to standard error.
void MsgBox(const std::u16string& text, MsgIcon icon, const std::u16string& title = u"");

// "<number> - <description>", the form in which every failure is shown.
std::u16string failureMessage(long number, const std::u16string& description);

}  // namespace zestrel::platform
