// What the window asks before and after an upgrade, through the recording view as a window that
// asks: the preview of the values the copy would change and its three answers, a stop asked for
// at any step of a run, the success box that offers the backup's folder, and the offer to put a
// backup back when an upgraded cookbook is chosen again. A view that asks nothing (the command
// line) gets none of these.
#include <algorithm>
#include <fstream>

#include "format/create_cookbook.h"
#include "platform/file_system.h"
#include "store/db_function.h"
#include "store/jet/failure.h"
#include "support/fixtures.h"
#include "text/utf8.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;
using cli::OldLayout;
using json = nlohmann::json;

constexpr std::size_t kShowList = 0, kUpgrade = 1, kCancel = 2;
const std::u16string kQuestion =
    u"The new layout will shorten or change 3 values in 2 recipes. The original stays in the backup either way.";

bool emptyOrMissing(const fs::path& folder) { return !fs::exists(folder) || fs::is_empty(folder); }

class AskingWindow : public UpgradeTest {
protected:
    void SetUp() override {
        UpgradeTest::SetUp();
        view_.asks = true;
        form_.emplace(view_);
        form_->Form_Load();
    }
    // The window goes first: the files it holds open could not be removed on Windows.
    void TearDown() override {
        form_.reset();
        UpgradeTest::TearDown();
    }
    // Three values in two recipes change: two servings cut to Yield, one amount cut.
    fs::path changing(const std::string& name) {
        return cookbook(name, OldLayout::V11,
                        {json{{"Name", "Soup"}, {"Serving", "12 servings"}, {"rID", "1"}},
                         json{{"Name", "Stew"}, {"Serving", "4 servings"}, {"rID", "2"}}},
                        {json{{"Name", "Salt"}, {"Amt", "a heaped handful of it"}, {"rID", "2"}}});
    }
    void browse(const fs::path& path) {
        view_.dialogAnswers.push_back(path.u16string());
        form_->cmdOpen_Click();
    }
    std::size_t successes() const {
        std::size_t n = 0;
        for (const auto& m : view_.messages()) n += text::toUtf8(m.text).rfind("Upgrade successful!", 0) == 0 ? 1 : 0;
        for (const auto& m : view_.questions()) n += text::toUtf8(m.text).rfind("Upgrade successful!", 0) == 0 ? 1 : 0;
        return n;
    }
    std::optional<frmMain> form_;
};

struct PreviewCase {
    const char* name;
    std::vector<std::size_t> answers;  // nothing: the box is closed
    bool upgraded;
};

class PreviewAnswers : public AskingWindow, public ::testing::WithParamInterface<PreviewCase> {};

TEST_P(PreviewAnswers, TheOwnerSeesTheCountsAndTheListBeforeAnythingChanges) {
    const fs::path path = changing("family.rcp");
    const std::string original = bytesOf(path);
    browse(path);
    for (const std::size_t answer : GetParam().answers) view_.questionAnswers.push_back(answer);
    std::vector<std::string> listsAsked;  // the dry run's list as each question found it
    bool cookbookUntouchedWhenAsked = true;
    view_.onQuestion = [&](const platform::Question& question) {
        if (question.answers.size() != 3) return;
        listsAsked.push_back(form_->valueChanges().render(path, {}));
        cookbookUntouchedWhenAsked = cookbookUntouchedWhenAsked && bytesOf(path) == original &&
                                     !fs::exists(program_ / "tempdb.mdb") && emptyOrMissing(program_ / "Backup");
    };
    form_->cmdUp_Click();

    const auto shownLists = view_.eventsOf(ViewEvent::Kind::OpenedWithDesktop);
    const std::size_t asked = std::max<std::size_t>(GetParam().answers.size(), 1);
    ASSERT_GE(view_.questions().size(), asked);
    for (std::size_t i = 0; i < asked; ++i) {
        EXPECT_EQ(view_.questions()[i].text, kQuestion);
        EXPECT_EQ(view_.questions()[i].answers, (std::vector<std::u16string>{u"Show the list", u"Upgrade", u"Cancel"}));
        EXPECT_EQ(view_.questions()[i].number, static_cast<int>(platform::MsgIcon::Warning));
    }
    EXPECT_TRUE(cookbookUntouchedWhenAsked);
    const auto showAnswers = std::count(GetParam().answers.begin(), GetParam().answers.end(), kShowList);
    ASSERT_EQ(shownLists.size(), static_cast<std::size_t>(showAnswers));
    for (const auto& shown : shownLists) {
        EXPECT_EQ(fs::path(shown.text), program_ / "preview_changes.txt");
        EXPECT_EQ(textFile(fs::path(shown.text)), listsAsked.front());
#ifndef _WIN32
        EXPECT_EQ(fs::status(shown.text).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
#endif
    }
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
    if (GetParam().upgraded) {
        EXPECT_TRUE(isCompleteUpgrade(path, 2, 1));
        EXPECT_EQ(bytesOf(program_ / "Backup" / "family_backup.rcp"), original);
        EXPECT_EQ(successes(), 1u);
        EXPECT_EQ(form_->valueChanges().size(), 3u) << "the upgrade changed other values than the preview said";
        EXPECT_FALSE(view_.upgradeEnabled);
        return;
    }
    EXPECT_EQ(bytesOf(path), original);
    EXPECT_TRUE(emptyOrMissing(program_ / "Backup"));
    EXPECT_TRUE(view_.messages().empty());
    EXPECT_EQ(form_->outcome().result, upgrade::RunOutcome::Result::NotRun);
    // Offered again, as before Upgrade was pressed.
    EXPECT_EQ(view_.status, u"Selected cookbook version is 1.1, click Upgrade to start.");
    EXPECT_TRUE(view_.upgradeEnabled && view_.exitEnabled && view_.browseEnabled);
    EXPECT_FALSE(view_.progressVisible || view_.busy || view_.pathReadOnly);
    view_.questionAnswers = {kUpgrade};
    form_->cmdUp_Click();
    EXPECT_TRUE(isCompleteUpgrade(path, 2, 1)) << "the cookbook offered again could not be upgraded";
}

INSTANTIATE_TEST_SUITE_P(, PreviewAnswers,
                         ::testing::Values(PreviewCase{"Upgrade", {kUpgrade}, true},
                                           PreviewCase{"Cancel", {kCancel}, false},
                                           PreviewCase{"BoxClosed", {}, false},
                                           PreviewCase{"ShowTheListThenUpgrade", {kShowList, kUpgrade}, true},
                                           PreviewCase{"ShowTheListTwiceThenCancel", {kShowList, kShowList, kCancel}, false}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(AskingWindow, OneValueInOneRecipeIsSaidInTheSingular) {
    EXPECT_EQ(previewQuestion(1, 1),
              u"The new layout will shorten or change 1 value in 1 recipe. The original stays in the backup either way.");
    EXPECT_EQ(previewQuestion(271, 40).substr(0, 57), u"The new layout will shorten or change 271 values in 40 re");
}

// With nothing to change the run asks nothing and ends as a run without a preview does.
TEST_F(AskingWindow, NothingToChangeAsksNothing) {
    const fs::path path = cookbook("plain.rcp", OldLayout::V10, recipeRows(3), ingredientRows(2));
    browse(path);
    view_.questionAnswers = {0};  // the success box's OK
    form_->cmdUp_Click();
    ASSERT_EQ(view_.questions().size(), 1u);
    EXPECT_EQ(text::toUtf8(view_.questions()[0].text).rfind("Upgrade successful!", 0), 0u);
    EXPECT_TRUE(view_.messages().empty());
    EXPECT_TRUE(isCompleteUpgrade(path, 3, 2));
    EXPECT_FALSE(fs::exists(program_ / "preview_changes.txt"));
    const auto texts = statusTexts();
    const std::vector<std::u16string> tail{u"Create temporary file...", u"Copying data from old cookbook...",
                                           u"Done copy data.", u"Creating backup copy...", u"Successful!", u"Done!"};
    ASSERT_GE(texts.size(), tail.size());
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), texts.end() - static_cast<std::ptrdiff_t>(tail.size())));
    EXPECT_EQ(std::count(texts.begin(), texts.end(), u"Done!"), 1) << "the preview said it was done";
}

// The success box offers the backup's folder; the command line's view asks nothing and gets the
// box it always had.
TEST_F(AskingWindow, TheSuccessBoxOffersToShowTheBackup) {
    browse(cookbook("family.rcp", OldLayout::V10, recipeRows(1), ingredientRows(1)));
    view_.questionAnswers = {1};
    form_->cmdUp_Click();
    ASSERT_EQ(view_.questions().size(), 1u);
    EXPECT_EQ(view_.questions()[0].answers, (std::vector<std::u16string>{u"OK", u"Show the backup"}));
    EXPECT_EQ(view_.questions()[0].number, static_cast<int>(platform::MsgIcon::Information));
    const auto shown = view_.eventsOf(ViewEvent::Kind::ShownInFolder);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(fs::path(shown[0].text), program_ / "Backup" / "family_backup.rcp");
    EXPECT_TRUE(fs::is_regular_file(shown[0].text));

    RecordingView silent;
    frmMain form(silent);
    silent.dialogAnswers.push_back(changing("other.rcp").u16string());
    form.cmdOpen_Click();
    form.cmdUp_Click();
    EXPECT_TRUE(silent.questions().empty());
    ASSERT_EQ(silent.messages().size(), 1u);
    EXPECT_EQ(text::toUtf8(silent.messages()[0].text).rfind("Upgrade successful!", 0), 0u);
}

// A close asked for at any step of the copy, in the preview or in the upgrade: "Stop" undoes the
// run as a failure does, with no box, and the window closes after it; "Go on" finishes it.
struct StopCase {
    const char* name;
    int atYield;
    bool stop;
    bool inUpgrade;  // past the preview, in the upgrade's own copy
};

class StopDuringRun : public AskingWindow, public ::testing::WithParamInterface<StopCase> {};

TEST_P(StopDuringRun, AStopLeavesTheCookbookAsItWas) {
    const fs::path path = cookbook("family.rcp", OldLayout::V10, recipeRows(3), ingredientRows(2));
    const std::string original = bytesOf(path);
    browse(path);
    int yields = 0;
    bool mayCloseDuring = true;
    view_.onYield = [&] {
        if (++yields != GetParam().atYield) return;
        view_.questionAnswers.push_front(GetParam().stop ? 0 : 1);
        mayCloseDuring = form_->Form_QueryUnload();
    };
    view_.questionAnswers = {0, 0};  // the success box's OK, after the close question
    form_->cmdUp_Click();
    ASSERT_GE(yields, GetParam().atYield);
    EXPECT_FALSE(mayCloseDuring);
    ASSERT_GE(view_.questions().size(), 1u);
    EXPECT_EQ(view_.questions()[0].text, u"An upgrade is running. Stop it? The cookbook stays as it was.");
    EXPECT_EQ(view_.questions()[0].answers, (std::vector<std::u16string>{u"Stop the upgrade", u"Go on"}));
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
    EXPECT_EQ(form_->closeAfterRun(), GetParam().stop);
    EXPECT_TRUE(view_.exitEnabled);
    EXPECT_FALSE(view_.busy || view_.progressVisible);
    const auto texts = statusTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), u"Create temporary file...") == 1,
              GetParam().inUpgrade || !GetParam().stop);
    if (!GetParam().stop) {
        EXPECT_TRUE(isCompleteUpgrade(path, 3, 2));
        return;
    }
    EXPECT_EQ(bytesOf(path), original);
    EXPECT_TRUE(emptyOrMissing(program_ / "Backup"));
    EXPECT_TRUE(view_.messages().empty()) << text::toUtf8(view_.messages()[0].text);
    EXPECT_EQ(view_.questions().size(), 1u);
    ASSERT_TRUE(form_->outcome().failure);
    EXPECT_EQ(form_->outcome().failure->number(), failure::runtime::kUserInterrupt);
    EXPECT_TRUE(form_->Form_QueryUnload()) << "the window may close once the run is undone";
}

// A run of 3 recipes and 2 ingredients yields 16 times in the preview (the first two in the
// record count, where a stop waits for the copy's first step) and 16 in the upgrade.
INSTANTIATE_TEST_SUITE_P(, StopDuringRun,
                         ::testing::Values(StopCase{"PreviewCount", 1, true, false},
                                           StopCase{"PreviewRecipes", 6, true, false},
                                           StopCase{"PreviewLastStep", 16, true, false},
                                           StopCase{"UpgradeCount", 17, true, true},
                                           StopCase{"UpgradeIngredients", 28, true, true},
                                           StopCase{"UpgradeLastStep", 32, true, true},
                                           StopCase{"GoOnInThePreview", 6, false, false},
                                           StopCase{"GoOnInTheUpgrade", 22, false, true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(AskingWindow, AtRestTheWindowClosesWithoutAQuestion) {
    EXPECT_TRUE(form_->Form_QueryUnload());
    EXPECT_TRUE(view_.questions().empty());
}

// Upgrade follows the path box: emptied by a turn-down or by its user, it disables Upgrade.
TEST_F(AskingWindow, AnEmptyPathBoxDisablesUpgrade) {
    const fs::path current = dir_ / "current.rcp";
    dbFunction::CreateCookbook(current.u16string());
    browse(current);
    EXPECT_EQ(view_.path, u"");
    EXPECT_FALSE(view_.upgradeEnabled);
    view_.path = u"x";
    form_->tDb_Change();
    EXPECT_TRUE(view_.upgradeEnabled);
    view_.path = u"";
    form_->tDb_Change();
    EXPECT_FALSE(view_.upgradeEnabled);
}

// An upgraded cookbook chosen again: the up-to-date box offers its newest own backup.
struct BackupOfferCase {
    const char* name;
    std::size_t answer;  // 0: OK, 1: put the backup back
};

class BackupOffer : public AskingWindow, public ::testing::WithParamInterface<BackupOfferCase> {};

TEST_P(BackupOffer, TheNewestOwnBackupCanBePutBack) {
    const fs::path path = cookbook("family.rcp", OldLayout::V11, recipeRows(2), ingredientRows(1));
    const std::string original = bytesOf(path);
    browse(path);
    view_.questionAnswers = {0};
    form_->cmdUp_Click();
    ASSERT_TRUE(isCompleteUpgrade(path, 2, 1));
    const std::string upgraded = bytesOf(path);
    const std::size_t asked = view_.questions().size();
    view_.questionAnswers = {GetParam().answer};
    browse(path);
    ASSERT_EQ(view_.questions().size(), asked + 1);
    const ViewEvent offer = view_.questions().back();
    EXPECT_EQ(offer.answers, (std::vector<std::u16string>{u"OK", u"Put the backup back"}));
    EXPECT_EQ(offer.number, static_cast<int>(platform::MsgIcon::Warning));
    const std::string said = text::toUtf8(offer.text);
    EXPECT_EQ(said.rfind(text::toUtf8(kUpToDateWarning), 0), 0u);
    EXPECT_NE(said.find((program_ / "Backup" / "family_backup.rcp").string()), std::string::npos) << said;
    if (GetParam().answer == 0) {
        EXPECT_EQ(bytesOf(path), upgraded);
        EXPECT_EQ(view_.path, u"");
        EXPECT_FALSE(view_.upgradeEnabled);
        return;
    }
    EXPECT_EQ(bytesOf(path), original);
    EXPECT_EQ(bytesOf(program_ / "Backup" / "family_backup.rcp"), original) << "the backup is copied, never consumed";
    EXPECT_EQ(bytesOf(program_ / "Backup" / "family_upgraded.rcp"), upgraded);
    ASSERT_FALSE(view_.messages().empty());
    EXPECT_EQ(view_.messages().back().number, static_cast<int>(platform::MsgIcon::Information));
    EXPECT_NE(text::toUtf8(view_.messages().back().text).find("family_upgraded.rcp"), std::string::npos);
    // Chosen again as Browse chooses it: offered for an upgrade.
    EXPECT_EQ(view_.path, path.u16string());
    EXPECT_EQ(view_.status, u"Selected cookbook version is 1.1, click Upgrade to start.");
    EXPECT_TRUE(view_.upgradeEnabled);
}

INSTANTIATE_TEST_SUITE_P(, BackupOffer,
                         ::testing::Values(BackupOfferCase{"Kept", 0}, BackupOfferCase{"PutBack", 1}),
                         [](const auto& p) { return std::string(p.param.name); });

// No offer for a cookbook without a backup of its own: a new one, and one of the same name in
// another folder as an upgraded one; nor from a view that asks nothing.
TEST_F(AskingWindow, NoBackupOfItsOwnNoOffer) {
    const fs::path upgraded = cookbook("family.rcp", OldLayout::V11, recipeRows(1), ingredientRows(1));
    browse(upgraded);
    view_.questionAnswers = {0};
    form_->cmdUp_Click();
    ASSERT_TRUE(isCompleteUpgrade(upgraded, 1, 1));
    fs::create_directory(dir_ / "other");
    const fs::path sameName = dir_ / "other" / "family.rcp";
    fs::copy_file(upgraded, sameName);
    const fs::path fresh = dir_ / "fresh.rcp";
    dbFunction::CreateCookbook(fresh.u16string());
    const std::size_t asked = view_.questions().size();
    for (const fs::path& path : {sameName, fresh}) {
        browse(path);
        EXPECT_EQ(view_.questions().size(), asked) << path;
        ASSERT_FALSE(view_.messages().empty());
        EXPECT_EQ(view_.messages().back().text, kUpToDateWarning);
    }
    RecordingView silent;
    frmMain form(silent);
    silent.dialogAnswers.push_back(upgraded.u16string());
    form.cmdOpen_Click();
    EXPECT_TRUE(silent.questions().empty());
    EXPECT_EQ(silent.messages().back().text, kUpToDateWarning);
}

// A typed or dropped name that exists is taken as named, as the command line takes it; one that
// does not exist is tried with ".rcp" added.
struct NamedCase {
    const char* name;
    const char* exists;  // the file made
    const char* typed;   // what the box is given
    const char* taken;   // the cookbook the window then works on
};

class TypedName : public AskingWindow, public ::testing::WithParamInterface<NamedCase> {};

TEST_P(TypedName, AnExistingNameIsTakenAsNamed) {
    const fs::path made = changing(GetParam().exists);
    for (const bool dropped : {true, false}) {
        const std::u16string typed = (dir_ / GetParam().typed).u16string();
        if (dropped) {
            form_->cookbookDropped({typed});
        } else {
            view_.path = typed;
            form_->tDb_Change();
            view_.questionAnswers = {kCancel};
            form_->cmdUp_Click();  // chosen, previewed and cancelled
        }
        EXPECT_EQ(form_->sCookbookPath, (dir_ / GetParam().taken).u16string()) << (dropped ? "dropped" : "typed");
        EXPECT_EQ(view_.path, (dir_ / GetParam().taken).u16string());
    }
    EXPECT_TRUE(fs::exists(made));
}

INSTANTIATE_TEST_SUITE_P(, TypedName,
                         ::testing::Values(NamedCase{"AnotherExtension", "family.mdb", "family.mdb", "family.mdb"},
                                           NamedCase{"NoExtension", "family", "family", "family"},
                                           NamedCase{"MissingWithout", "family.rcp", "family", "family.rcp"},
                                           NamedCase{"UpperCase", "family.RCP", "family.RCP", "family.RCP"}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(AskingWindow, AnExistingFileThatIsNoCookbookIsNamedAsTyped) {
    std::ofstream(dir_ / "notes.txt") << "Soup: water, salt";
    view_.path = (dir_ / "notes.txt").u16string();
    form_->tDb_Change();
    form_->cmdUp_Click();
    ASSERT_EQ(view_.messages().size(), 1u);
    const std::string said = text::toUtf8(view_.messages()[0].text);
    EXPECT_EQ(said.rfind("\"" + (dir_ / "notes.txt").string() + "\" is not a cookbook", 0), 0u) << said;
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
}

}  // namespace
}  // namespace zestrel::test
