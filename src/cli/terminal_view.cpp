#include "cli/terminal_view.h"

#include <algorithm>
#include <ostream>

#include "text/utf8.h"

namespace zestrel::cli {

namespace {

constexpr int kBarWidth = 40;

// A line as the terminal may take it: control characters (escape sequences, carriage returns, C1
// controls) from a cookbook or a file name are written as "\x1B", never obeyed; a line break stays.
std::string escapedControls(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        const bool c1 = byte == 0xC2 && i + 1 < utf8.size() && (static_cast<unsigned char>(utf8[i + 1]) & 0xE0) == 0x80;
        if ((byte < 0x20 && byte != '\n') || byte == 0x7F || c1) {
            const unsigned code = c1 ? static_cast<unsigned char>(utf8[++i]) : byte;
            constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[code >> 4];
            out += kHex[code & 0xF];
            continue;
        }
        out += static_cast<char>(byte);
    }
    return out;
}

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
    report_ << escapedControls(line) << std::endl;
}

void TerminalView::setStatusText(const std::u16string& text) { say(text::toUtf8(text)); }

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
    report_ << escapedControls((subject_.empty() ? "" : subject_ + ": ") + '[' + shownTitle + "] " + text::toUtf8(text))
            << std::endl;
}

std::optional<std::u16string> TerminalView::openFile(const platform::OpenFileRequest&) { return std::nullopt; }

}  // namespace zestrel::cli
