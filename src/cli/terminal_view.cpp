#include "cli/terminal_view.h"

#include "cli/shown_text.h"

#include <algorithm>
#include <ostream>

#include "platform/console.h"
#include "platform/path_text.h"
#include "text/utf8.h"

namespace zestrel::cli {

namespace {

constexpr const char* kEllipsis = "\xE2\x80\xA6";
constexpr int kUnknownColumns = 80;
// A line rewritten more often than this is not read any better, and a fast copy would spend its
// time writing to the terminal.
constexpr std::chrono::milliseconds kRedrawInterval{100};
// The row count moves the line on in steps that make at most this many over the copy.
constexpr std::uint64_t kRowStepsPerCopy = 1000;

bool continuationByte(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) == 0x80; }

// "29,400": digits in groups of three, as the program's other English texts write counts.
std::string grouped(std::uint64_t number) {
    std::string digits = std::to_string(number);
    for (auto at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), 1, ',');
    return digits;
}

// The end of `utf8` that takes at most `columns` columns, cut between characters.
std::string tailWithin(const std::string& utf8, std::size_t columns) {
    std::size_t start = utf8.size();
    std::size_t taken = 0;
    while (start > 0) {
        std::size_t from = start - 1;
        while (from > 0 && continuationByte(utf8[from])) --from;
        const std::size_t width = generousColumns(std::string_view(utf8).substr(from, start - from));
        if (taken + width > columns) break;
        taken += width;
        start = from;
    }
    return utf8.substr(start);
}

// The smallest power of ten that makes at most kRowStepsPerCopy steps of `counted` rows.
std::uint64_t rowStepOf(std::uint64_t counted) {
    std::uint64_t step = 1;
    while (counted / step > kRowStepsPerCopy) step *= 10;
    return step;
}

}  // namespace

std::size_t generousColumns(std::string_view utf8) {
    std::size_t columns = 0;
    for (const char byte : utf8) {
        const auto value = static_cast<unsigned char>(byte);
        if (value < 0x80) ++columns;
        else if (!continuationByte(byte)) columns += 2;
    }
    return columns;
}

std::string progressLine(const std::string& subject, int percent, std::uint64_t copied, std::uint64_t counted,
                         int columns) {
    const bool known = counted >= copied && counted > 0;
    const std::uint64_t rows = known ? counted : copied;
    const std::string numbers = std::to_string(std::clamp(percent, 0, 100)) + "% (" +
                                (known ? grouped(copied) + " of " : std::string()) + grouped(rows) +
                                (rows == 1 ? " row)" : " rows)");
    const std::size_t room = columns > 1 ? static_cast<std::size_t>(columns - 1) : 0;
    if (numbers.size() > room) return numbers.substr(0, room);
    if (subject.empty()) return numbers;
    const std::string whole = subject + ": " + numbers;
    if (generousColumns(whole) <= room) return whole;
    // The subject's end names the file; its start (the folders) is what goes.
    const std::size_t around = generousColumns(kEllipsis) + 2 + numbers.size();
    if (around >= room) return numbers;
    return kEllipsis + tailWithin(subject, room - around) + ": " + numbers;
}

TerminalView::TerminalView(std::ostream& report, bool drawProgress, bool quiet)
    : report_(report),
      drawProgress_(drawProgress && !quiet),
      quiet_(quiet),
      clock_([] { return std::chrono::steady_clock::now(); }),
      columns_([] { return platform::standardErrorColumns(); }) {}

TerminalView::~TerminalView() {
    try {
        clearProgressLine();
    } catch (...) {
        // A stream that cannot be written has no line to clear.
    }
}

// The line is overwritten with blanks and the cursor put back at its start, so that the next text
// starts a clean line. Blanks rather than a terminal's erase sequence: every terminal and console
// knows the carriage return, and nothing but text goes to the terminal.
void TerminalView::clearProgressLine() {
    if (!drawn_) return;
    report_ << '\r' << std::string(drawnColumns_, ' ') << '\r' << std::flush;
    drawn_ = false;
    drawnColumns_ = 0;
}

void TerminalView::drawProgressLine() {
    const std::uint64_t step = rowStepOf(rowsCounted_);
    const std::uint64_t rowStep = rowsCopied_ / step;
    if (drawn_ && progressValue_ == drawnValue_ && rowStep == drawnRowStep_) return;
    const auto now = clock_();
    if (drawn_ && now - drawnAt_ < kRedrawInterval) return;
    const std::string line =
        progressLine(subject_, progressValue_, rowsCopied_, rowsCounted_, columns_().value_or(kUnknownColumns));
    const std::size_t columns = generousColumns(line);
    // Blanks over what the line before showed beyond this one's end.
    const std::size_t blanks = drawn_ && drawnColumns_ > columns ? drawnColumns_ - columns : 0;
    report_ << '\r' << line << std::string(blanks, ' ') << std::flush;
    drawn_ = true;
    drawnColumns_ = std::max(drawnColumns_, columns);
    drawnValue_ = progressValue_;
    drawnRowStep_ = rowStep;
    drawnAt_ = now;
}

void TerminalView::say(const std::string& line) {
    if (quiet_) return;
    clearProgressLine();
    report_ << shownMessage(line) << std::endl;
}

void TerminalView::setStatusText(const std::u16string& text) {
    if (statusLines_) say(platform::shownText(text));
}

void TerminalView::setProgressVisible(bool visible) {
    if (!visible) clearProgressLine();
    progressShown_ = visible;
    rowsCopied_ = 0;
    rowsCounted_ = 0;
}

// Each step of the copy ends here, after its bar value: the line is drawn from the step's numbers.
void TerminalView::setRowsCopied(std::uint64_t copied, std::uint64_t counted) {
    rowsCopied_ = copied;
    rowsCounted_ = counted;
    if (drawProgress_ && progressShown_) drawProgressLine();
}

void TerminalView::messageBox(const std::u16string& text, platform::MsgIcon icon, const std::u16string& title) {
    clearProgressLine();
    if (quiet_ && icon == platform::MsgIcon::Information) return;
    const std::string shownTitle = text::toUtf8(title.empty() ? std::u16string(platform::kApplicationTitle) : title);
    report_ << shownMessage((subject_.empty() ? "" : subject_ + ": ") + '[' + shownTitle + "] " + platform::shownText(text))
            << std::endl;
}

std::optional<std::u16string> TerminalView::openFile(const platform::OpenFileRequest&) { return std::nullopt; }

}  // namespace zestrel::cli
