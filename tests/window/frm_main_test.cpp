// frmMain's handlers through the recording view: no command starts inside a
// running upgrade, a version no upgrade method takes gets a warning, and any
// failure, of the engine or not, ends in a numbered box at the step's report
// point with the window back at rest.
#include <algorithm>
#include <new>
#include <stdexcept>

#include "platform/file_system.h"
#include "store/db_function.h"
#include "text/utf8.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;
using cli::OldLayout;

// A layout-1.1 cookbook whose Version row holds `marker`.
fs::path withMarker(UpgradeTest& test, const std::string& name, const std::u16string& marker) {
    const fs::path path = test.cookbook(name, OldLayout::V11, recipeRows(1), ingredientRows(1));
    dbFunction::OpenCookbook(path.u16string());
    auto rs = dbFunction::dbCookbook->OpenRecordset(u"Version", dao::dbOpenDynaset);
    rs->Edit();
    rs->Collect(u"Version") = dao::Variant(marker);
    rs->Update();
    rs->Close();
    dbFunction::CloseCookbook();
    return path;
}

using FrmMainRun = UpgradeTest;

TEST_F(FrmMainRun, NoCommandStartsOrChangesAnythingWhileAnUpgradeRuns) {
    const fs::path path = cookbook("family.rcp", OldLayout::V10, recipeRows(3), ingredientRows(4));
    const fs::path other = cookbook("other.rcp", OldLayout::V11, recipeRows(1), {});
    const std::string original = bytesOf(path);
    frmMain form(view_);
    form.Form_Load();
    view_.dialogAnswers.push_back(path.u16string());
    form.cmdOpen_Click();
    int yields = 0;
    bool readOnlyDuring = false;
    bool upgradeEnabledDuring = true;
    std::size_t dialogsDuring = 0;
    view_.onYield = [&] {
        if (++yields != 6) return;  // inside the recipe copy
        readOnlyDuring = view_.pathReadOnly && form.running();
        // The user types a path: the change rule enables nothing.
        view_.path = other.u16string();
        form.tDb_Change();
        upgradeEnabledDuring = view_.upgradeEnabled;
        // A second Upgrade and a Browse reaching the window now are refused.
        view_.dialogAnswers.push_back(other.u16string());
        form.cmdUp_Click();
        form.cmdOpen_Click();
        dialogsDuring = view_.dialogRequests.size();
    };
    form.cmdUp_Click();
    EXPECT_GE(yields, 6);
    EXPECT_TRUE(readOnlyDuring);
    EXPECT_FALSE(upgradeEnabledDuring);
    EXPECT_EQ(dialogsDuring, 1u) << "only the Browse before the run asked for a file";
    EXPECT_EQ(form.sCookbookPath, path.u16string());
    const auto messages = view_.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(text::toUtf8(messages[0].text).rfind("Upgrade successful!", 0), 0u);
    EXPECT_EQ(bytesOf(program_ / "Backup" / "family_backup.rcp"), original);
    EXPECT_FALSE(fs::exists(program_ / "Backup" / "family_backup_2.rcp"));
    EXPECT_TRUE(isCompleteUpgrade(path, 3, 4));
    const auto texts = statusTexts();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), u"Create temporary file..."), 1);
    // At rest again: the box accepts typing and the change rule works.
    EXPECT_FALSE(view_.pathReadOnly);
    EXPECT_FALSE(form.running());
    form.setPathBox(other.u16string());
    EXPECT_TRUE(view_.upgradeEnabled);
}

struct NoMethodCase {
    const char* name;
    const char16_t* marker;
};

class NoUpgradeMethod : public UpgradeTest, public ::testing::WithParamInterface<NoMethodCase> {};

TEST_P(NoUpgradeMethod, WarnsThatNothingWasChanged) {
    const fs::path path = withMarker(*this, "family.rcp", GetParam().marker);
    const std::string original = bytesOf(path);
    frmMain form(view_);
    view_.dialogAnswers.push_back(path.u16string());
    form.cmdOpen_Click();
    const std::size_t before = view_.messages().size();  // "1.3" is turned down by Browse first
    form.cmdUp_Click();
    const auto messages = view_.messages();
    ASSERT_EQ(messages.size(), before + 1);
    EXPECT_EQ(messages.back().number, static_cast<int>(platform::MsgIcon::Warning));
    EXPECT_EQ(messages.back().title, u"");
    EXPECT_EQ(messages.back().text, u"This cookbook's version (" + std::u16string(GetParam().marker).substr(0, 3) +
                                        u") cannot be upgraded. Nothing was changed.");
    EXPECT_EQ(bytesOf(path), original);
    EXPECT_FALSE(fs::exists(program_ / "Backup"));
    EXPECT_TRUE(fs::is_regular_file(program_ / "tempdb.mdb"));  // the rest of the command as before
    EXPECT_EQ(view_.status, u"Copying data from old cookbook...");
    EXPECT_TRUE(view_.exitEnabled);
    EXPECT_FALSE(view_.upgradeEnabled);
    EXPECT_FALSE(view_.progressVisible);
}

INSTANTIATE_TEST_SUITE_P(Markers, NoUpgradeMethod,
                         ::testing::Values(NoMethodCase{"WrittenOut10", u"1.0"}, NoMethodCase{"Single1", u"1"},
                                           NoMethodCase{"Older09", u"0.9"}, NoMethodCase{"UpToDate13", u"1.3"}),
                         [](const auto& p) { return std::string(p.param.name); });

struct UnexpectedCase {
    const char* name;
    const char16_t* status;  // the pause or yield after this status text throws
    bool atYield;
    bool outOfMemory;
    const char16_t* title;
    platform::MsgIcon icon;
    int number;
};

class UnexpectedFailure : public UpgradeTest, public ::testing::WithParamInterface<UnexpectedCase> {};

TEST_P(UnexpectedFailure, EndsInANumberedBoxAndTheWindowRests) {
    const UnexpectedCase& c = GetParam();
    const fs::path path = cookbook("family.rcp", OldLayout::V10, recipeRows(2), ingredientRows(2));
    const std::string original = bytesOf(path);
    bool thrown = false;
    const auto hook = [&] {
        if (thrown || view_.status != c.status) return;
        thrown = true;
        if (c.outOfMemory) throw std::bad_alloc();
        throw std::logic_error("a broken invariant");
    };
    (c.atYield ? view_.onYield : view_.onPause) = hook;
    run(path);
    ASSERT_TRUE(thrown);
    const auto messages = view_.messages();
    ASSERT_FALSE(messages.empty());
    const ViewEvent& box = messages.front();
    EXPECT_EQ(box.title, c.title);
    EXPECT_EQ(box.number, static_cast<int>(c.icon));
    const std::string text = text::toUtf8(box.text);
    EXPECT_EQ(text.rfind(std::to_string(c.number) + " - ", 0), 0u) << text;
    if (c.outOfMemory) {
        EXPECT_EQ(text, "7 - Out of memory");
    }
    EXPECT_EQ(bytesOf(path), original);
    EXPECT_TRUE(view_.exitEnabled);
    EXPECT_TRUE(view_.browseEnabled);
    EXPECT_FALSE(view_.progressVisible);
    EXPECT_FALSE(view_.busy);
    EXPECT_FALSE(view_.pathReadOnly);
}

INSTANTIATE_TEST_SUITE_P(
    Points, UnexpectedFailure,
    ::testing::Values(
        UnexpectedCase{"CommandOutOfMemory", u"Create temporary file...", false, true, u"", platform::MsgIcon::Critical, 7},
        UnexpectedCase{"CommandOther", u"Copying data from old cookbook...", false, false, u"", platform::MsgIcon::Critical, 5},
        UnexpectedCase{"RecordCount", u"Copying data from old cookbook...", true, false, u"Get Record Count",
                       platform::MsgIcon::Warning, 5},
        UnexpectedCase{"UpgradeOutOfMemory", u"Done copy data.", false, true, u"Upgrade Version 1.0",
                       platform::MsgIcon::Critical, 7}),
    [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace zestrel::test
