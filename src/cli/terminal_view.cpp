#include "cli/terminal_view.h"

#include <algorithm>
#include <ostream>

#include "text/utf8.h"

namespace zestrel::cli {

namespace {
constexpr int kBarWidth = 40;
}

TerminalView::TerminalView(std::ostream& out, std::ostream& err, bool drawProgress)
    : out_(out), err_(err), drawProgress_(drawProgress) {}

void TerminalView::endProgressLine() {
    if (drawProgress_ && progressShown_) out_ << '\n';
    drawn_ = false;
}

void TerminalView::setStatusText(const std::u16string& text) {
    endProgressLine();
    out_ << text::toUtf8(text) << std::endl;
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
    out_ << '\r' << '[' << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') << "] " << text::toUtf8(percent_) << std::flush;
}

void TerminalView::setPercentCaption(const std::u16string& caption) { percent_ = caption; }

void TerminalView::messageBox(const std::u16string& text, platform::MsgIcon icon, const std::u16string& title) {
    endProgressLine();
    progressShown_ = false;
    counts_[static_cast<int>(icon)] += 1;
    lastMessage_ = text;
    const std::string shownTitle = text::toUtf8(title.empty() ? std::u16string(platform::kApplicationTitle) : title);
    std::ostream& stream = icon == platform::MsgIcon::Information ? out_ : err_;
    stream << '[' << shownTitle << "] " << text::toUtf8(text) << std::endl;
}

std::optional<std::u16string> TerminalView::openFile(const platform::OpenFileRequest&) {
    auto answer = dialogAnswer_;
    dialogAnswer_.reset();
    return answer;
}

int TerminalView::messageCount(platform::MsgIcon icon) const { return counts_[static_cast<int>(icon)]; }

}  // namespace zestrel::cli
