// The window of the command-line program. Everything it shows goes to one
// stream, standard error, which is where a command line expects status and
// progress (standard output is left to the data a command prints): status
// texts and message boxes become lines (boxes with their title). The progress
// bar becomes one line that rewrites itself in place ("family.rcp: 42% (12,345
// of 29,400 rows)"), drawn only when that stream is a terminal, and cleared
// before any other line is written, so that what stays on the screen is what a
// pipe or a file receives. The window's own instructions (click Browse, click
// Upgrade, and the boxes that tell what to click) are not printed: the
// commands say instead what they do. Quiet, only failures and warnings are
// printed. The open-file dialog gives no file (the commands name the cookbook
// themselves), and there are no pauses.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/form_view.h"

namespace zestrel::cli {

// The progress line for a terminal `columns` wide: "<subject>: 42% (12,345 of 29,400 rows)", or
// "(12,345 rows)" when the count is not known or fell short. It stays within one column less than
// the width, so that the terminal never wraps it (a carriage return then goes back to its start):
// a subject too long loses its start ("...ly.rcp" with an ellipsis), and a terminal too narrow
// even for the numbers gets them alone, cut.
std::string progressLine(const std::string& subject, int percent, std::uint64_t copied, std::uint64_t counted,
                         int columns);
// The columns a UTF-8 text may take on a terminal, counted generously: two for any character
// beyond ASCII (a CJK character takes two, a combining accent none).
std::size_t generousColumns(std::string_view utf8);

class TerminalView : public platform::FormView {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using Columns = std::function<std::optional<int>()>;

    TerminalView(std::ostream& report, bool drawProgress, bool quiet = false);
    ~TerminalView() override;  // a progress line still standing is cleared
    TerminalView(const TerminalView&) = delete;
    TerminalView& operator=(const TerminalView&) = delete;

    // Whether the window's status texts become lines (they do unless told otherwise).
    void showStatusLines(bool shown) { statusLines_ = shown; }
    // What the progress line goes by: the time (steady_clock by default) and the terminal's width
    // (standard error's terminal by default; 80 columns when it does not tell).
    void setClock(Clock clock) { clock_ = std::move(clock); }
    void setColumns(Columns columns) { columns_ = std::move(columns); }

    void setStatusText(const std::u16string& text) override;
    void setProgressVisible(bool visible) override;
    void setProgressValue(int value) override { progressValue_ = value; }
    void setPercentCaption(const std::u16string&) override {}
    void setRowsCopied(std::uint64_t copied, std::uint64_t counted) override;
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

    // Message boxes are printed after "<subject>: ", so that each line names the cookbook; so is
    // the progress line.
    void setSubject(const std::string& subject) { subject_ = subject; }
    // A line of the command's own, unless quiet.
    void say(const std::string& line);

private:
    void drawProgressLine();
    void clearProgressLine();

    std::ostream& report_;
    bool drawProgress_;
    bool quiet_;
    bool statusLines_ = true;
    Clock clock_;
    Columns columns_;

    bool progressShown_ = false;
    int progressValue_ = 0;
    std::uint64_t rowsCopied_ = 0;
    std::uint64_t rowsCounted_ = 0;

    // The progress line on the terminal, when one stands there: the columns it may take, and
    // what it showed when.
    bool drawn_ = false;
    std::size_t drawnColumns_ = 0;
    int drawnValue_ = 0;
    std::uint64_t drawnRowStep_ = 0;
    std::chrono::steady_clock::time_point drawnAt_{};

    std::u16string path_;
    std::string subject_;
};

}  // namespace zestrel::cli
