// The progress bar on a terminal: drawn when what it shows changes, not once per row copied.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "cli/terminal_view.h"

namespace zestrel::cli {
namespace {

long redraws(const std::string& out) { return std::count(out.begin(), out.end(), '\r'); }

TEST(TerminalProgress, RedrawsOnlyWhenTheBarChanges) {
    std::ostringstream out, err;
    TerminalView view(out, err, true);
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
    std::ostringstream out, err;
    TerminalView view(out, err, false);
    view.setProgressVisible(true);
    view.setPercentCaption(u"50%");
    view.setProgressValue(50);
    EXPECT_EQ(redraws(out.str()), 0);
}

}  // namespace
}  // namespace zestrel::cli
