// The window of the command-line program. Everything it shows goes to one
// stream, standard error, which is where a command line expects status and
// progress (standard output is left to the data a command prints): status
// texts and message boxes become lines (boxes with their title), the progress
// bar is drawn only when that stream is a terminal. The window's own
// instructions (click Browse, click Upgrade, and the boxes that tell what to
// click) are not printed: the commands say instead what they do. Quiet, only
// failures and warnings are printed. The open-file dialog gives no file (the
// commands name the cookbook themselves), and there are no pauses.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "platform/form_view.h"

namespace zestrel::cli {

class TerminalView : public platform::FormView {
public:
    TerminalView(std::ostream& report, bool drawProgress, bool quiet = false);
    // Whether the window's status texts become lines (they do unless told otherwise).
    void showStatusLines(bool shown) { statusLines_ = shown; }

    void setStatusText(const std::u16string& text) override;
    void setProgressVisible(bool visible) override;
    void setProgressValue(int value) override;
    void setPercentCaption(const std::u16string& caption) override;
    void setUpgradeEnabled(bool) override {}
    void setExitEnabled(bool) override {}
    void setBrowseEnabled(bool) override {}
    void setPathText(const std::u16string& text) override { path_ = text; }
    std::u16string pathText() const override { return path_; }
    void setPathReadOnly(bool) override {}
    void setBusyPointer(bool) override {}
    void messageBox(const std::u16string& text, platform::MsgIcon icon, const std::u16string& title) override;
    std::optional<std::u16string> openFile(const platform::OpenFileRequest& request) override;
    void doEvents() override {}
    void pause(int) override {}
    void setInstructionText(const std::u16string&) override {}
    void instructionBox(const std::u16string&, platform::MsgIcon) override {}

    // Message boxes are printed after "<subject>: ", so that each line names the cookbook.
    void setSubject(const std::string& subject) { subject_ = subject; }
    // A line of the command's own, unless quiet.
    void say(const std::string& line);

private:
    void endProgressLine();

    std::ostream& report_;
    bool drawProgress_;
    bool quiet_;
    bool statusLines_ = true;
    bool progressShown_ = false;
    int progressValue_ = 0;
    std::u16string percent_;
    bool drawn_ = false;            // the bar on the current line shows progressValue_ and drawnPercent_
    std::u16string drawnPercent_;
    std::u16string path_;
    std::string subject_;
};

}  // namespace zestrel::cli
