#include "cli/terminal_view.h"

#include "cli/shown_text.h"

#include <algorithm>
#include <ostream>

#include "platform/path_text.h"
#include "text/utf8.h"

namespace zestrel::cli {

namespace {

constexpr int kBarWidth = 40;

}  // namespace

TerminalView::TerminalView(std::ostream& report, bool drawProgress, bool quiet)
    : report_(report), drawProgress_(drawProgress && !quiet), quiet_(quiet) {}

void TerminalView::endProgressLine() {
    if (drawProgress_ && progressShown_ && drawn_) report_ << '\n';
    drawn_ = false;
}

void TerminalView::say(const std::string& line) {
    if (quiet_) return;
    endProgressLine();
    report_ << shownMessage(line) << std::endl;
}

void TerminalView::setStatusText(const std::u16string& text) {
    if (statusLines_) say(platform::shownText(text));
}

void TerminalView::setProgressVisible(bool visible) {
    if (!visible) endProgressLine();
    progressShown_ = visible;
}

void TerminalView::setProgressValue(int value) {
    // The bar is drawn again only when what it shows changes: a row's progress step would
    // otherwise write to the terminal for every row copied.
    const bool unchanged = value == progressValue_ && percent_ == drawnPercent_ && drawn_;
    progressValue_ = value;
    if (!drawProgress_ || !progressShown_ || unchanged) return;
    drawn_ = true;
    drawnPercent_ = percent_;
    const int filled = std::clamp(value, 0, 100) * kBarWidth / 100;
    report_ << '\r' << '[' << std::string(static_cast<std::size_t>(filled), '#')
            << std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') << "] " << text::toUtf8(percent_)
            << std::flush;
}

void TerminalView::setPercentCaption(const std::u16string& caption) { percent_ = caption; }

void TerminalView::messageBox(const std::u16string& text, platform::MsgIcon icon, const std::u16string& title) {
    endProgressLine();
    progressShown_ = false;
    if (quiet_ && icon == platform::MsgIcon::Information) return;
    const std::string shownTitle = text::toUtf8(title.empty() ? std::u16string(platform::kApplicationTitle) : title);
    report_ << shownMessage((subject_.empty() ? "" : subject_ + ": ") + '[' + shownTitle + "] " + platform::shownText(text))
            << std::endl;
}

std::optional<std::u16string> TerminalView::openFile(const platform::OpenFileRequest&) { return std::nullopt; }

}  // namespace zestrel::cli
