// The preview before an upgrade changes values: the same copy as a dry run, which changes
// nothing, then a question with the counts it found and the list one answer away.
#include <string>

#include "format/create_cookbook.h"
#include "store/db_function.h"
#include "text/digits.h"
#include "upgrade/list_file.h"
#include "platform/path_text.h"
#include "window/frm_main.h"

namespace zestrel {

namespace {

constexpr std::size_t kShowList = 0, kUpgrade = 1, kCancel = 2;

// "3 values", "1 value".
std::u16string counted(std::size_t number, const char16_t* one, const char16_t* many) {
    const text::Digits digits(number);
    return std::u16string(digits.begin(), digits.end()) + u" " + (number == 1 ? one : many);
}

}  // namespace

std::u16string previewQuestion(std::size_t values, std::size_t recipes) {
    return u"The new layout will shorten or change " + counted(values, u"value", u"values") + u" in " +
           counted(recipes, u"recipe", u"recipes") + u". The original stays in the backup either way.";
}

frmMain::RunAnswer frmMain::previewChanges(upgrade::Layout layout, const std::filesystem::path& temporary,
                                           const std::filesystem::path& list) {
    if (!view_.asksQuestions()) return RunAnswer::Upgrade;  // the command line previews with --dry-run
    view_.setStatusText(u"Looking for values the new layout would change...");
    dbFunction::CreateCookbook(platform::textOfPath(temporary));
    setPreview(true);
    runMethod(layout, temporary);
    setPreview(false);
    if (!outcome_.upgraded()) return RunAnswer::Failed;  // its box said why
    if (valueChanges().empty()) return RunAnswer::Upgrade;
    view_.setProgressValue(0);
    view_.setPercentCaption(u"");
    view_.setInstructionText(kSelectedPrefix + shownVersion() + kUpgradeInstruction);
    return askAboutChanges(list);
}

// Asked again after the list is shown, until the owner upgrades or cancels.
frmMain::RunAnswer frmMain::askAboutChanges(const std::filesystem::path& list) {
    const platform::Question question{previewQuestion(valueChanges().size(), valueChanges().recipes()),
                                      platform::MsgIcon::Warning,
                                      {u"Show the list", u"Upgrade", u"Cancel"},
                                      kUpgrade,
                                      kCancel};
    for (;;) {
        const std::size_t answer = view_.questionBox(question);
        if (stopRequested_) return RunAnswer::Cancel;
        if (answer == kUpgrade) return RunAnswer::Upgrade;
        if (answer != kShowList) return RunAnswer::Cancel;
        view_.openWithDesktop(upgrade::writePreviewList(valueChanges(), platform::pathOfText(sCookbookPath), list));
    }
}

}  // namespace zestrel
