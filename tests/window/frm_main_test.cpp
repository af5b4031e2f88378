// frmMain's handlers through the recording view: no command starts inside a
// running upgrade, the tables decide the upgrade whatever the marker says, and any
// failure, of the engine or not, ends in a numbered box at the step's report
// point with the window back at rest.
#include <algorithm>
#include <fstream>
#include <functional>
#include <new>
#include <optional>
#include <stdexcept>

#include "format/create_cookbook.h"
#include "platform/file_system.h"
#include "store/db_function.h"
#include "text/utf8.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;
using cli::OldLayout;

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

// An old-layout cookbook whose Version table holds `marker`; none for no Version table.
fs::path withLayoutAndMarker(UpgradeTest& test, const std::string& name, OldLayout layout,
                             const std::optional<std::u16string>& marker) {
    const fs::path path = test.cookbook(name, layout, recipeRows(2), ingredientRows(3));
    if (!marker) return path;
    dbFunction::OpenCookbook(path.u16string());
    if (layout == OldLayout::V10) {
        auto version = dbFunction::dbCookbook->CreateTableDef(u"Version");
        version->Fields().Append(version->CreateField(u"Version", dao::type::dbText, 10));
        dbFunction::dbCookbook->TableDefs().Append(version);
        auto rs = dbFunction::dbCookbook->OpenRecordset(u"Version", dao::dbOpenDynaset);
        rs->AddNew();
        rs->Collect(u"Version") = dao::Variant(*marker);
        rs->Update();
        rs->Close();
    } else {
        auto rs = dbFunction::dbCookbook->OpenRecordset(u"Version", dao::dbOpenDynaset);
        rs->Edit();
        rs->Collect(u"Version") = dao::Variant(*marker);
        rs->Update();
        rs->Close();
    }
    dbFunction::CloseCookbook();
    return path;
}

struct MarkerCase {
    const char* name;
    OldLayout tables;
    std::optional<std::u16string> marker;  // none: as the layout has it (1.0 no Version table, 1.1 "1.1")
    const char16_t* shown;                 // the version the status text gives: the tables' layout
    const char16_t* warning;               // what Browse says of a marker the tables belie; empty when they agree
};

class MarkerAndTables : public UpgradeTest, public ::testing::WithParamInterface<MarkerCase> {};

// The tables decide the upgrade; a marker that says otherwise is said plainly at Browse, and the
// cookbook is upgraded as its tables are, every row carried over.
TEST_P(MarkerAndTables, TheTablesDecideAndADisagreementIsSaid) {
    const MarkerCase& c = GetParam();
    const fs::path path = withLayoutAndMarker(*this, "family.rcp", c.tables, c.marker);
    frmMain form(view_);
    view_.dialogAnswers.push_back(path.u16string());
    form.cmdOpen_Click();
    const auto said = view_.messages();
    if (std::u16string(c.warning).empty()) {
        EXPECT_TRUE(said.empty()) << text::toUtf8(said.front().text);
    } else {
        ASSERT_EQ(said.size(), 1u);
        EXPECT_EQ(said[0].number, static_cast<int>(platform::MsgIcon::Warning));
        EXPECT_EQ(said[0].text, c.warning);
    }
    EXPECT_EQ(view_.status, u"Selected cookbook version is " + std::u16string(c.shown) + u", click Upgrade to start.");
    EXPECT_TRUE(view_.upgradeEnabled);
    form.cmdUp_Click();
    const auto messages = view_.messages();
    ASSERT_EQ(messages.size(), said.size() + 1);
    EXPECT_EQ(text::toUtf8(messages.back().text).rfind("Upgrade successful!", 0), 0u) << text::toUtf8(messages.back().text);
    EXPECT_EQ(messages.back().number, static_cast<int>(platform::MsgIcon::Information));
    EXPECT_TRUE(isCompleteUpgrade(path, 2, 3));
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
}

INSTANTIATE_TEST_SUITE_P(
    Markers, MarkerAndTables,
    ::testing::Values(
        MarkerCase{"NoMarkerOn10", OldLayout::V10, std::nullopt, u"1.0", u""},
        MarkerCase{"Marker11On11", OldLayout::V11, u"1.1", u"1.1", u""},
        MarkerCase{"WrittenOut10On10", OldLayout::V10, u"1.0", u"1.0", u""},
        MarkerCase{"LongerMarker110On11", OldLayout::V11, u"1.10", u"1.1", u""},
        MarkerCase{"WrittenOut10On11", OldLayout::V11, u"1.0", u"1.1",
                   u"The cookbook says 1.0, but its tables are those of 1.1. It is upgraded as a cookbook of 1.1."},
        MarkerCase{"Older09On11", OldLayout::V11, u"0.9", u"1.1",
                   u"The cookbook says 0.9, but its tables are those of 1.1. It is upgraded as a cookbook of 1.1."},
        MarkerCase{"Single1On10", OldLayout::V10, u"1", u"1.0",
                   u"The cookbook says 1, but its tables are those of 1.0. It is upgraded as a cookbook of 1.0."},
        MarkerCase{"Unknown1xOn11", OldLayout::V11, u"1.x", u"1.1",
                   u"The cookbook says 1.x, but its tables are those of 1.1. It is upgraded as a cookbook of 1.1."},
        MarkerCase{"Later20On11", OldLayout::V11, u"2.0", u"1.1",
                   u"The cookbook says 2.0, but its tables are those of 1.1. It is upgraded as a cookbook of 1.1."},
        MarkerCase{"Current13On11", OldLayout::V11, u"1.3", u"1.1",
                   u"The cookbook says 1.3, but its tables are those of 1.1. It is upgraded as a cookbook of 1.1."},
        MarkerCase{"Marker11On10", OldLayout::V10, u"1.1", u"1.0",
                   u"The cookbook says 1.1, but its tables are those of 1.0. It is upgraded as a cookbook of 1.0."},
        MarkerCase{"EmptyMarkerOn11", OldLayout::V11, u"", u"1.1",
                   u"The cookbook has no version marker, but its tables are those of 1.1. It is upgraded as a cookbook "
                   u"of 1.1."}),
    [](const auto& p) { return std::string(p.param.name); });

// Tables of neither layout are refused at Browse with what they lack, and an Upgrade pressed anyway
// makes no file: no temporary database, no backup.
TEST_F(FrmMainRun, TablesOfNeitherLayoutAreRefusedAndNothingIsLeftBehind) {
    // The columns of layout 1.1, but for Recipe's Category and Ingred's Weights.
    const auto columnsBut = [](const std::vector<cli::OldColumn>& columns, const std::u16string& left) {
        std::vector<std::u16string> names;
        for (const auto& column : columns)
            if (column.name != left) names.push_back(column.name);
        return names;
    };
    const fs::path path =
        customCookbook("family.rcp", {{u"Recipe", columnsBut(cli::oldRecipeColumns(OldLayout::V11), u"Category")},
                                      {u"Ingred", columnsBut(cli::oldIngredientColumns(OldLayout::V11), u"Weights")}});
    const std::string original = bytesOf(path);
    frmMain form(view_);
    form.Form_Load();
    view_.dialogAnswers.push_back(path.u16string());
    form.cmdOpen_Click();
    auto messages = view_.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              u"\"" + path.u16string() + u"\" is not a cookbook that can be upgraded: its tables are those of neither "
              u"layout 1.0 (table Recipe has no column Catagory; table Ingred has no column Messure) nor layout 1.1 "
              u"(table Recipe has no column Category; table Ingred has no column Weights).");
    EXPECT_FALSE(view_.upgradeEnabled);
    view_.path = path.u16string();  // typed back in, and Upgrade pressed
    form.tDb_Change();
    form.cmdUp_Click();
    EXPECT_EQ(view_.messages().size(), 2u);
    EXPECT_EQ(bytesOf(path), original);
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
    EXPECT_FALSE(fs::exists(program_ / "Backup"));
    EXPECT_FALSE(view_.upgradeEnabled);
}

// Upgrade works on the file the path box shows, chosen as Browse chooses it when it is not the
// cookbook Browse chose and offered last.
class ShownPath : public UpgradeTest {
protected:
    void SetUp() override {
        UpgradeTest::SetUp();
        form_.emplace(view_);
        form_->Form_Load();
    }
    void browse(const fs::path& path) {
        view_.dialogAnswers.push_back(path.u16string());
        form_->cmdOpen_Click();
    }
    void type(const std::u16string& text) {
        view_.path = text;
        form_->tDb_Change();
    }
    std::size_t successes() const {
        std::size_t n = 0;
        for (const auto& m : view_.messages()) n += text::toUtf8(m.text).rfind("Upgrade successful!", 0) == 0 ? 1 : 0;
        return n;
    }
    std::optional<frmMain> form_;
};

TEST_F(ShownPath, ATypedPathIsUpgradedNotTheCookbookChosenBefore) {
    const fs::path chosen = cookbook("Grandma's recipes.rcp", OldLayout::V11, recipeRows(2), ingredientRows(2));
    const fs::path typed = cookbook("small11.rcp", OldLayout::V11, recipeRows(3), ingredientRows(1));
    browse(chosen);
    form_->cmdUp_Click();
    ASSERT_EQ(successes(), 1u);
    const std::string upgradedOnce = bytesOf(chosen);
    type((dir_ / "small11").u16string());  // without its extension, which the Browse rule adds
    ASSERT_TRUE(view_.upgradeEnabled);
    form_->cmdUp_Click();
    EXPECT_EQ(successes(), 2u);
    EXPECT_EQ(form_->sCookbookPath, typed.u16string());
    EXPECT_EQ(view_.path, typed.u16string());
    EXPECT_TRUE(isCompleteUpgrade(typed, 3, 1));
    EXPECT_EQ(bytesOf(chosen), upgradedOnce) << "the cookbook chosen before was upgraded again";
    EXPECT_TRUE(fs::exists(program_ / "Backup" / "small11_backup.rcp"));
    EXPECT_FALSE(fs::exists(program_ / "Backup" / "Grandma's recipes_backup_2.rcp"));
    const auto texts = statusTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), u"Selected cookbook version is 1.1, click Upgrade to start."), texts.end());
}

TEST_F(ShownPath, TheSamePathAfterARunIsJudgedAgain) {
    const fs::path path = cookbook("family.rcp", OldLayout::V10, recipeRows(1), ingredientRows(1));
    browse(path);
    form_->cmdUp_Click();
    ASSERT_EQ(successes(), 1u);
    const std::string upgraded = bytesOf(path);
    type(path.u16string());  // the box is given the same text again: Upgrade is enabled
    form_->cmdUp_Click();
    const auto messages = view_.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages.back().text, kUpToDateWarning);
    EXPECT_EQ(bytesOf(path), upgraded);
    EXPECT_FALSE(fs::exists(program_ / "Backup" / "family_backup_2.rcp"));
}

TEST_F(ShownPath, ATypedPathBrowseWouldNotOfferRunsNothing) {
    std::ofstream(dir_ / "noise.rcp", std::ios::binary) << std::string(4096, '\x5a');
    for (const fs::path& typed : {dir_ / "missing.rcp", dir_ / "noise.rcp"}) {
        type(typed.u16string());
        form_->cmdUp_Click();
        const auto messages = view_.messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back().number, static_cast<int>(platform::MsgIcon::Warning));
        EXPECT_EQ(text::toUtf8(messages.back().text).find("is not a cookbook that can be upgraded"), typed.string().size() + 3)
            << text::toUtf8(messages.back().text);
        EXPECT_FALSE(view_.upgradeEnabled);
    }
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb")) << "the Upgrade command started";
}

TEST_F(ShownPath, AnEmptyBoxUpgradesNothing) {
    const fs::path path = dir_ / "current.rcp";
    dbFunction::CreateCookbook(path.u16string());  // layout 1.3, marked 1.3
    browse(path);  // turned down: the box is emptied, and Upgrade with it
    ASSERT_FALSE(view_.upgradeEnabled);
    ASSERT_EQ(view_.path, u"");
    form_->cmdUp_Click();  // a click that reaches the form anyway
    const auto messages = view_.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages.back().text, kBrowseInstruction);
    EXPECT_EQ(messages.back().number, static_cast<int>(platform::MsgIcon::Warning));
    EXPECT_FALSE(view_.upgradeEnabled);
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
}

struct NotACookbookCase {
    const char* name;
    std::function<fs::path(UpgradeTest&)> make;
    const char* why;  // the reason the warning gives
};

class NotACookbook : public UpgradeTest, public ::testing::WithParamInterface<NotACookbookCase> {};

TEST_P(NotACookbook, BrowseSaysWhyAndOffersNothing) {
    const fs::path offered = cookbook("offered.rcp", OldLayout::V11, recipeRows(1), ingredientRows(1));
    const fs::path path = GetParam().make(*this);
    const bool existed = fs::exists(path);
    const std::string before = existed ? bytesOf(path) : std::string();
    frmMain form(view_);
    form.Form_Load();
    view_.dialogAnswers.push_back(offered.u16string());
    form.cmdOpen_Click();
    view_.dialogAnswers.push_back(path.u16string());
    form.cmdOpen_Click();
    const auto messages = view_.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].number, static_cast<int>(platform::MsgIcon::Warning));
    EXPECT_EQ(messages[0].title, u"");
    const std::string text = text::toUtf8(messages[0].text);
    EXPECT_EQ(text.rfind("\"" + path.string() + "\" is not a cookbook that can be upgraded: ", 0), 0u) << text;
    EXPECT_NE(text.find(GetParam().why), std::string::npos) << text;
    EXPECT_FALSE(view_.upgradeEnabled);
    EXPECT_EQ(view_.path, u"");
    EXPECT_EQ(view_.status, kBrowseInstruction);
    form.cmdUp_Click();  // a click that still reaches the window
    EXPECT_EQ(view_.messages().size(), 2u);
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
    EXPECT_EQ(existed ? bytesOf(path) : std::string(), before);
}

fs::path writeBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

INSTANTIATE_TEST_SUITE_P(
    Files, NotACookbook,
    ::testing::Values(
        NotACookbookCase{"Missing", [](UpgradeTest& test) { return test.dir_ / "missing.rcp"; }, "3024 - "},
        NotACookbookCase{"RandomBytes",
                         [](UpgradeTest& test) {
                             std::string bytes(8192, '\0');
                             for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>((i * 7919 + 13) % 251);
                             return writeBytes(test.dir_ / "random.rcp", bytes);
                         },
                         "3343 - "},
        NotACookbookCase{"NoOldTables", [](UpgradeTest& test) { return test.customCookbook("other.rcp", {{u"Notes", {u"Text"}}}); },
                         "it has neither a table Recipe nor a table Ingred."},
        NotACookbookCase{"NoIngred",
                         [](UpgradeTest& test) { return test.customCookbook("recipes.rcp", {{u"Recipe", {u"Name", u"rID"}}}); },
                         "it has no table Ingred."},
        NotACookbookCase{"NoRecipe",
                         [](UpgradeTest& test) { return test.customCookbook("ingred.rcp", {{u"Ingred", {u"Name", u"rID"}}}); },
                         "it has no table Recipe."}),
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
