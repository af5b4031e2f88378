// The command line's window: the progress bar on a terminal is drawn when what it shows changes,
// not once per row copied; the window's instructions are not printed; quiet keeps failures only.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/terminal_view.h"
#include "window/frm_main.h"

namespace zestrel::cli {
namespace {

long redraws(const std::string& out) { return std::count(out.begin(), out.end(), '\r'); }

TEST(TerminalProgress, RedrawsOnlyWhenTheBarChanges) {
    std::ostringstream out;
    TerminalView view(out, true);
    view.setProgressVisible(true);
    for (int row = 0; row < 1000; ++row) {  // 1,000 rows over 0..9 percent
        const int percent = row / 100;
        const std::string text = std::to_string(percent) + "%";
        view.setPercentCaption(std::u16string(text.begin(), text.end()));
        view.setProgressValue(percent);
    }
    EXPECT_EQ(redraws(out.str()), 10);
    EXPECT_NE(out.str().find("] 9%"), std::string::npos);
    view.setStatusText(u"Done copy data.");  // a new line; the bar is drawn again after it
    view.setProgressValue(9);
    EXPECT_EQ(redraws(out.str()), 11);
}

TEST(TerminalProgress, NotDrawnWhenTheOutputIsNoTerminal) {
    std::ostringstream out;
    TerminalView view(out, false);
    view.setProgressVisible(true);
    view.setPercentCaption(u"50%");
    view.setProgressValue(50);
    EXPECT_EQ(redraws(out.str()), 0);
}

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
    view.messageBox(u"Upgrade successful!", platform::MsgIcon::Information, u"Upgrade Version 1.1");
    EXPECT_EQ(out.str(), "");
    view.messageBox(u"3051 - in use", platform::MsgIcon::Critical, u"");
    view.messageBox(u"not a cookbook", platform::MsgIcon::Warning, u"");
    EXPECT_EQ(out.str(), "[Zestrel Cookbook Upgrade] 3051 - in use\n[Zestrel Cookbook Upgrade] not a cookbook\n");
}

}  // namespace
}  // namespace zestrel::cli
