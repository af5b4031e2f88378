// The command line's window: on a terminal the progress is one line that rewrites itself, drawn
// when what it shows changes and at most ten times a second, never wider than the terminal, and
// cleared before any other line; the window's instructions are not printed; quiet keeps failures
// only.
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "cli/terminal_view.h"
#include "support/process.h"
#include "window/frm_main.h"

namespace zestrel::cli {
namespace {

using namespace std::chrono_literals;
using test::terminalScreen;

// The progress lines drawn: each starts with a carriage return and the subject.
long draws(const std::string& out, const std::string& subject = "family.rcp") {
    long count = 0;
    for (auto at = out.find("\r" + subject + ": "); at != std::string::npos; at = out.find("\r" + subject + ": ", at + 1))
        ++count;
    return count;
}

// A terminal view with a clock the test moves.
struct Terminal {
    std::ostringstream out;
    std::chrono::steady_clock::time_point now{};
    TerminalView view{out, true};
    explicit Terminal(int columns = 80) {
        view.setClock([this] { return now; });
        view.setColumns([columns] { return std::optional<int>(columns); });
        view.setSubject("family.rcp");
    }
    // One step of the copy as the upgrade reports it.
    void step(int percent, std::uint64_t copied, std::uint64_t counted) {
        view.setPercentCaption(u"");
        view.setProgressValue(percent);
        view.setRowsCopied(copied, counted);
    }
};

TEST(TerminalProgress, RedrawsOnlyWhenThePercentOrTheRowStepChanges) {
    Terminal terminal;
    terminal.view.setProgressVisible(true);
    // 100,000 rows counted: the rows move the line on by the hundred. Time is no limit here.
    for (std::uint64_t row = 1; row <= 1000; ++row) {
        terminal.now += 1s;
        terminal.step(static_cast<int>(row / 400), row, 100000);
    }
    // Rows 1, 100, 200, ..., 1000; the percent changes at 400 and 800, on a row step already.
    EXPECT_EQ(draws(terminal.out.str()), 11);
    EXPECT_EQ(terminalScreen(terminal.out.str()), std::vector<std::string>{"family.rcp: 2% (1,000 of 100,000 rows)"});
    terminal.now += 1s;
    terminal.step(2, 1000, 100000);  // the same again: nothing is written
    EXPECT_EQ(draws(terminal.out.str()), 11);
}

TEST(TerminalProgress, RedrawsAtMostTenTimesASecond) {
    Terminal terminal;
    terminal.view.setProgressVisible(true);
    // 1,000 rows, each a change, one every 10 ms: ten seconds of copy.
    for (std::uint64_t row = 1; row <= 1000; ++row) {
        terminal.step(static_cast<int>(row / 10), row, 1000);
        terminal.now += 10ms;
    }
    EXPECT_EQ(draws(terminal.out.str()), 100);
    EXPECT_EQ(terminalScreen(terminal.out.str()), std::vector<std::string>{"family.rcp: 99% (991 of 1,000 rows)"});
}

// Whatever is written next starts on a clean line: nothing of the progress line stays on the
// screen, and a shorter line drawn over a longer one leaves none of it either.
TEST(TerminalProgress, IsClearedBeforeAnyOtherLine) {
    struct NextLine {
        const char* label;
        void (*write)(TerminalView&);
        std::string shown;
    };
    const NextLine nextLines[]{
        {"a line of the command's", [](TerminalView& view) { view.say("family.rcp: done"); }, "family.rcp: done"},
        {"a status text", [](TerminalView& view) { view.setStatusText(u"Done!"); }, "Done!"},
        {"a box", [](TerminalView& view) { view.messageBox(u"done", platform::MsgIcon::Information, u"Upgrade"); },
         "family.rcp: [Upgrade] done"},
    };
    for (const auto& next : nextLines) {
        SCOPED_TRACE(next.label);
        Terminal terminal;
        terminal.view.setProgressVisible(true);
        terminal.step(10, 123456, 999999);
        terminal.now += 1s;
        terminal.step(11, 123457, 0);  // shorter: the count is no longer known
        EXPECT_EQ(terminalScreen(terminal.out.str()), std::vector<std::string>{"family.rcp: 11% (123,457 rows)"});
        next.write(terminal.view);
        EXPECT_EQ(terminalScreen(terminal.out.str()), std::vector<std::string>{next.shown}) << terminal.out.str();
        EXPECT_EQ(terminal.out.str().find('\x1B'), std::string::npos) << "blanks, not an escape sequence";
    }
}

// The window puts its bar back to 0 after the run: no line is drawn for that, and a view that
// goes away with a line standing clears it.
TEST(TerminalProgress, TheRunsEndDrawsNothingAndLeavesNoLine) {
    Terminal terminal;
    terminal.view.setProgressVisible(true);
    terminal.step(100, 3, 3);
    terminal.view.messageBox(u"Upgrade successful!", platform::MsgIcon::Information, u"Upgrade Version 1.1");
    const std::string afterBox = terminal.out.str();
    terminal.view.setProgressValue(0);
    terminal.view.setProgressVisible(false);
    terminal.view.setPercentCaption(u"");
    EXPECT_EQ(terminal.out.str(), afterBox);
    EXPECT_EQ(terminalScreen(afterBox), std::vector<std::string>{"family.rcp: [Upgrade Version 1.1] Upgrade successful!"});

    std::ostringstream out;
    {
        TerminalView view(out, true);
        view.setColumns([] { return std::optional<int>(80); });
        view.setProgressVisible(true);
        view.setRowsCopied(1, 2);
    }
    EXPECT_NE(out.str().find("% (1 of 2 rows)"), std::string::npos) << out.str();
    EXPECT_TRUE(terminalScreen(out.str()).empty()) << out.str();
}

TEST(TerminalProgress, NotDrawnWhenTheOutputIsNoTerminalNorWhenQuiet) {
    for (const bool quiet : {false, true}) {
        std::ostringstream out;
        TerminalView view(out, quiet, quiet);  // a terminal, but quiet; or no terminal
        view.setProgressVisible(true);
        view.setPercentCaption(u"50%");
        view.setProgressValue(50);
        view.setRowsCopied(5, 10);
        EXPECT_EQ(out.str(), "") << quiet;
    }
}

struct LineCase {
    const char* label;
    std::string subject;
    int percent;
    std::uint64_t copied;
    std::uint64_t counted;
    int columns;
    std::string line;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << c.label; }

class ProgressLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(ProgressLine, SaysThePercentAndTheRowsWithinTheTerminalsWidth) {
    const LineCase& c = GetParam();
    const std::string line = progressLine(c.subject, c.percent, c.copied, c.counted, c.columns);
    EXPECT_EQ(line, c.line);
    EXPECT_LT(generousColumns(line), static_cast<std::size_t>(c.columns)) << "the last column stays free";
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProgressLine,
    ::testing::Values(
        LineCase{"plain", "family.rcp", 42, 12345, 29400, 80, "family.rcp: 42% (12,345 of 29,400 rows)"},
        LineCase{"millions", "big.rcp", 61, 1234567, 2000000, 80, "big.rcp: 61% (1,234,567 of 2,000,000 rows)"},
        LineCase{"one_row", "one.rcp", 100, 1, 1, 80, "one.rcp: 100% (1 of 1 row)"},
        LineCase{"count_unknown", "family.rcp", 0, 7, 0, 80, "family.rcp: 0% (7 rows)"},
        LineCase{"count_fell_short", "family.rcp", 100, 1200, 1000, 80, "family.rcp: 100% (1,200 rows)"},
        LineCase{"percent_kept_in_range", "family.rcp", 130, 10, 10, 80, "family.rcp: 100% (10 of 10 rows)"},
        LineCase{"no_subject", "", 5, 50, 1000, 80, "5% (50 of 1,000 rows)"},
        LineCase{"fits_exactly", "family.rcp", 42, 12345, 29400, 40, "family.rcp: 42% (12,345 of 29,400 rows)"},
        LineCase{"long_path_loses_its_start", "/home/ann/Documents/family.rcp", 42, 12345, 29400, 40,
                 "\xE2\x80\xA6mily.rcp: 42% (12,345 of 29,400 rows)"},
        LineCase{"wide_characters_count_double", "/home/ann/\xE6\x96\x99\xE7\x90\x86.rcp", 42, 12345, 29400, 38,
                 "\xE2\x80\xA6\xE7\x90\x86.rcp: 42% (12,345 of 29,400 rows)"},
        LineCase{"no_room_for_the_subject", "family.rcp", 42, 12345, 29400, 31, "42% (12,345 of 29,400 rows)"},
        LineCase{"narrower_than_the_numbers", "family.rcp", 42, 12345, 29400, 12, "42% (12,345"}),
    [](const ::testing::TestParamInfo<LineCase>& param) { return std::string(param.param.label); });

TEST(TerminalLines, TheWindowsInstructionsAreNotPrinted) {
    std::ostringstream out;
    TerminalView view(out, false);
    platform::FormView& port = view;
    port.setInstructionText(kBrowseInstruction);
    port.setInstructionText(u"Selected cookbook version is 1.1, click Upgrade to start.");
    port.instructionBox(kUpToDateWarning, platform::MsgIcon::Warning);
    EXPECT_EQ(out.str(), "");
    view.setStatusText(u"Create temporary file...");
    view.setSubject("family.rcp");
    view.messageBox(u"3078 - no table", platform::MsgIcon::Critical, u"Upgrade Version 1.1");
    view.messageBox(u"Careful", platform::MsgIcon::Warning, u"");
    EXPECT_EQ(out.str(), "Create temporary file...\n"
                         "family.rcp: [Upgrade Version 1.1] 3078 - no table\n"
                         "family.rcp: [Zestrel Cookbook Upgrade] Careful\n");
}

// What a cookbook or a file name holds reaches the terminal as text, never as a control sequence.
TEST(TerminalLines, ControlCharactersAreWrittenOutNotObeyed) {
    std::ostringstream out;
    TerminalView view(out, false);
    view.messageBox(u"The cookbook says \x1b]0;, but\r\u009b2J\x07\nnext", platform::MsgIcon::Warning, u"");
    view.setStatusText(u"\x1b[2J");
    EXPECT_EQ(out.str(), "[Zestrel Cookbook Upgrade] The cookbook says \\x1B]0;, but\\x0D\\x9B2J\\x07\nnext\n\\x1B[2J\n");
}

TEST(TerminalLines, QuietPrintsOnlyFailuresAndWarnings) {
    std::ostringstream out;
    TerminalView view(out, true, true);
    view.say("family.rcp: version 1.1, upgrading");
    view.setStatusText(u"Create temporary file...");
    view.setProgressVisible(true);
    view.setPercentCaption(u"50%");
    view.setProgressValue(50);
    view.setRowsCopied(5, 10);
    view.messageBox(u"Upgrade successful!", platform::MsgIcon::Information, u"Upgrade Version 1.1");
    EXPECT_EQ(out.str(), "");
    view.messageBox(u"3051 - in use", platform::MsgIcon::Critical, u"");
    view.messageBox(u"not a cookbook", platform::MsgIcon::Warning, u"");
    EXPECT_EQ(out.str(), "[Zestrel Cookbook Upgrade] 3051 - in use\n[Zestrel Cookbook Upgrade] not a cookbook\n");
}

}  // namespace
}  // namespace zestrel::cli
