// One upgrade run seen through the recording view: status texts, percentages
// and bar values in order, the success message, and each failure's box with
// its title; after every failure the cookbook is byte for byte what it was.
#include <fstream>
#include <map>

#include "platform/file_system.h"
#include "format/cookbook_schema.h"
#include "format/create_cookbook.h"
#include "platform/fault_injection.h"
#include "platform/file_replace.h"
#include "store/dao/db_engine.h"
#include "store/db_function.h"
#include "support/fixtures.h"
#include "text/utf8.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using cli::OldLayout;

using Upgrade = UpgradeTest;

TEST_F(Upgrade, ThreeRecipesAndFiveIngredientsShowTheirPercentages) {
    run(cookbook("family.rcp", OldLayout::V10, recipeRows(3), ingredientRows(5)));
    // Each row's step as the old program showed it; the bar reaches its end once every row is copied.
    const std::vector<std::u16string> expected{u"0%", u"12%", u"25%", u"25%", u"38%", u"50%", u"62%", u"75%", u"100%", u""};
    EXPECT_EQ(percentCaptions(), expected);
    EXPECT_EQ(barValues(), (std::vector<int>{0, 12, 25, 25, 38, 50, 62, 75, 100, 0}));
    // Beside the bar, the rows reached of the eight counted: each step one more, and all at the end.
    const std::vector<std::pair<std::uint64_t, std::uint64_t>> rows{{1, 8}, {2, 8}, {3, 8}, {4, 8}, {5, 8},
                                                                    {6, 8}, {7, 8}, {8, 8}, {8, 8}};
    EXPECT_EQ(view_.rowsCopied, rows);
    EXPECT_FALSE(view_.progressVisible);
    EXPECT_TRUE(view_.exitEnabled);
    EXPECT_FALSE(view_.upgradeEnabled);
}

#ifndef _WIN32
// A cookbook only its owner may read stays so after the upgrade, and so does its backup.
TEST_F(Upgrade, TheUpgradedCookbookAndItsBackupKeepTheCookbooksPermissions) {
    const fs::path path = cookbook("family.rcp", OldLayout::V10, recipeRows(2), ingredientRows(3));
    const fs::perms ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(path, ownerOnly);
    run(path);
    ASSERT_EQ(view_.messages().size(), 1u);
    EXPECT_EQ(view_.messages()[0].number, static_cast<int>(platform::MsgIcon::Information));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, ownerOnly);
    EXPECT_EQ(fs::status(program_ / "Backup" / "family_backup.rcp").permissions() & fs::perms::all, ownerOnly);
}
#endif

#ifndef _WIN32
// A "\" is part of a Linux file name: the backup keeps the whole name.
TEST_F(Upgrade, ABackslashInANameIsPartOfItsBackupsName) {
    const fs::path path = cookbook("my\\book.rcp", OldLayout::V11, recipeRows(1), ingredientRows(1));
    const std::string original = bytesOf(path);
    run(path);
    ASSERT_EQ(view_.messages().size(), 1u);
    EXPECT_EQ(bytesOf(program_ / "Backup" / "my\\book_backup.rcp"), original);
    EXPECT_FALSE(fs::exists(program_ / "Backup" / "book_backup.rcp"));
}
#endif

struct ProgressCase {
    const char* name;
    int recipes, ingredients;
    std::vector<int> shown;  // each row's percentage, then the end of the copy, then the reset
};

class ShownProgress : public UpgradeTest, public ::testing::WithParamInterface<ProgressCase> {};

// The percentage stays within 0 and 100 and reaches 100 when the copy ends, whatever the rows are.
TEST_P(ShownProgress, StaysWithinTheBarAndReachesItsEnd) {
    const ProgressCase& c = GetParam();
    run(cookbook("family.rcp", OldLayout::V10, recipeRows(c.recipes), ingredientRows(c.ingredients)));
    std::vector<std::u16string> captions;
    for (const int percent : c.shown) {
        const std::string text = std::to_string(percent) + "%";
        captions.emplace_back(text.begin(), text.end());
    }
    captions.back() = u"";
    EXPECT_EQ(percentCaptions(), captions);
    EXPECT_EQ(barValues(), c.shown);
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, ShownProgress,
    ::testing::Values(ProgressCase{"NoRecipes", 0, 4, {0, 25, 50, 75, 100, 0}},
                      ProgressCase{"NoIngredients", 4, 0, {0, 25, 50, 75, 100, 0}},
                      ProgressCase{"OneRecipeOneIngredient", 1, 1, {0, 0, 100, 0}},
                      ProgressCase{"NoRows", 0, 0, {100, 0}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(Upgrade, ShowsItsStatusTextsAndTheBackupPathOnSuccess) {
    const fs::path path = cookbook("Family.RCP", OldLayout::V11, {}, {});
    const std::string original = bytesOf(path);
    run(path);
    const std::vector<std::u16string> expected{u"Click on Browse button to select a cookbook.",
                                               u"Selected cookbook version is 1.1, click Upgrade to start.",
                                               u"Create temporary file...",
                                               u"Copying data from old cookbook...",
                                               u"Done copy data.",
                                               u"Creating backup copy...",
                                               u"Successful!",
                                               u"Done!"};
    EXPECT_EQ(statusTexts(), expected);
    const fs::path backup = program_ / "Backup" / "Family_backup.rcp";
    const auto messages = view_.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].number, static_cast<int>(platform::MsgIcon::Information));
    EXPECT_EQ(messages[0].title, u"");
    EXPECT_EQ(messages[0].text,
              u"Upgrade successful! A backup copy of the original cookbook has been saved as \"" + backup.u16string() + u"\"");
    EXPECT_EQ(bytesOf(backup), original);
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
    std::vector<int> pauses;
    for (const auto& e : view_.eventsOf(ViewEvent::Kind::Pause)) pauses.push_back(e.number);
    EXPECT_EQ(pauses, (std::vector<int>{500, 500, 500, 500, 500}));
}

TEST_F(Upgrade, ATakenBackupNameGetsANumberAndTheOldBackupStays) {
    const fs::path path = cookbook("family.rcp", OldLayout::V10, recipeRows(1), {});
    fs::create_directory(program_ / "Backup");
    std::ofstream(program_ / "Backup" / "family_backup.rcp") << "another family's only original";
    std::ofstream(program_ / "Backup" / "family_backup_2.rcp") << "and another";
    const std::string original = bytesOf(path);
    run(path);
    EXPECT_EQ(bytesOf(program_ / "Backup" / "family_backup.rcp"), "another family's only original");
    EXPECT_EQ(bytesOf(program_ / "Backup" / "family_backup_2.rcp"), "and another");
    EXPECT_EQ(bytesOf(program_ / "Backup" / "family_backup_3.rcp"), original);
    EXPECT_NE(text::toUtf8(view_.messages().back().text).find("family_backup_3.rcp\""), std::string::npos);
}

TEST_F(Upgrade, WhenTheNewFileCannotTakeItsPlaceTheCookbookGoesBack) {
    const fs::path path = cookbook("family.rcp", OldLayout::V10, recipeRows(2), ingredientRows(2));
    const std::string original = bytesOf(path);
    view_.onPause = [&] {  // the temporary database disappears while the backup is being made
        if (view_.status == u"Creating backup copy...") fs::remove(program_ / "tempdb.mdb");
    };
    run(path);
    const auto messages = view_.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, u"Upgrade Version 1.0");
    EXPECT_EQ(bytesOf(path), original);
    EXPECT_FALSE(fs::exists(program_ / "Backup" / "family_backup.rcp"));
}

struct FailureCase {
    const char* name;
    std::vector<std::pair<std::u16string, platform::MsgIcon>> titles;  // the boxes, in order
    int number;                                                        // of the last box
};

class UpgradeFailures : public UpgradeTest {
protected:
    void expectBoxes(const std::vector<std::pair<std::u16string, platform::MsgIcon>>& titles, int number) {
        const auto messages = view_.messages();
        ASSERT_EQ(messages.size(), titles.size());
        for (std::size_t i = 0; i < titles.size(); ++i) {
            EXPECT_EQ(messages[i].title, titles[i].first) << i;
            EXPECT_EQ(messages[i].number, static_cast<int>(titles[i].second)) << i;
        }
        const std::string text = text::toUtf8(messages.back().text);
        EXPECT_EQ(text.rfind(std::to_string(number) + " - ", 0), 0u) << text;
        EXPECT_TRUE(view_.exitEnabled);
        EXPECT_FALSE(view_.progressVisible);
    }
    void runUnchanged(const fs::path& path) {
        const std::string original = bytesOf(path);
        run(path);
        EXPECT_EQ(bytesOf(path), original);
    }
};

const std::pair<std::u16string, platform::MsgIcon> kUpgrade10{u"Upgrade Version 1.0", platform::MsgIcon::Critical};
const std::pair<std::u16string, platform::MsgIcon> kUpgrade11{u"Upgrade Version 1.1", platform::MsgIcon::Critical};

// Browse turns such a file down; the upgrade method given one still fails cleanly.
TEST_F(UpgradeFailures, AMissingIngredTableWarnsThenFails) {
    std::vector<std::u16string> recipe;
    for (const auto& column : cli::oldRecipeColumns(OldLayout::V10)) recipe.push_back(column.name);
    const fs::path path = customCookbook("noingred.rcp", {{u"Recipe", recipe}});
    const std::string original = bytesOf(path);
    const fs::path temporary = program_ / "tempdb.mdb";
    frmMain form(view_);
    dbFunction::CreateCookbook(temporary.u16string());
    form.UpVersion_10(path.u16string(), temporary.u16string());
    EXPECT_EQ(bytesOf(path), original);
    EXPECT_FALSE(fs::exists(program_ / "Backup" / "noingred_backup.rcp"));
    expectBoxes({{u"Get Record Count", platform::MsgIcon::Warning}, kUpgrade10}, 3078);
}

// Browse turns such a file down (its tables are of neither layout); the upgrade method given one
// still fails cleanly.
TEST_F(UpgradeFailures, AMissingColumnFails) {
    const fs::path path = customCookbook("nopic.rcp", {{u"Recipe", {u"Name", u"rID"}}, {u"Ingred", {u"Name", u"rID"}}});
    const std::string original = bytesOf(path);
    const fs::path temporary = program_ / "tempdb.mdb";
    frmMain form(view_);
    dbFunction::CreateCookbook(temporary.u16string());
    form.UpVersion_10(path.u16string(), temporary.u16string());
    EXPECT_EQ(bytesOf(path), original);
    expectBoxes({kUpgrade10}, 3265);
}

struct RefusedValue {
    const char* name;
    OldLayout layout;
    std::vector<json> recipes;
    std::vector<json> ingredients;
    const char* column;  // the target column, as the message names it
    const char* row;     // the source row, as the message names it
};

class RefusedValues : public UpgradeFailures, public ::testing::WithParamInterface<RefusedValue> {};

TEST_P(RefusedValues, FailNamingTheColumnAndTheSourceRow) {
    const RefusedValue& c = GetParam();
    runUnchanged(cookbook("family.rcp", c.layout, c.recipes, c.ingredients));
    expectBoxes({c.layout == OldLayout::V10 ? kUpgrade10 : kUpgrade11}, 3163);
    const std::string text = text::toUtf8(view_.messages().back().text);
    EXPECT_NE(text.find(c.column), std::string::npos) << text;
    EXPECT_NE(text.find(c.row), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedValues,
    ::testing::Values(
        RefusedValue{"RecipeIdTooLong", OldLayout::V11, {json{{"rID", std::string(60, '7')}}}, {}, "'Recipe.rID'",
                     "The value comes from the row of table Recipe with rID \"777"},
        RefusedValue{"IngredientIdTooLong", OldLayout::V11, {json{{"rID", "R7"}}},
                     {json{{"Amt", "1"}, {"rID", std::string(51, '8')}}}, "'Ingredient.rID'",
                     "The value comes from the row of table Ingred with rID \"888"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(UpgradeFailures, AMissingTemporaryDatabaseFails) {
    fs::create_directory(program_ / "tempdb.mdb");  // a folder of that name: no database can be made there
    runUnchanged(cookbook("family.rcp", OldLayout::V11, {}, {}));
    expectBoxes({{u"Create Database", platform::MsgIcon::Critical}, kUpgrade11}, 3051);
    EXPECT_TRUE(fs::is_directory(program_ / "tempdb.mdb"));
}

TEST_F(UpgradeFailures, APlainFileNamedBackupFails) {
    std::ofstream(program_ / "Backup") << "not a folder";
    runUnchanged(cookbook("family.rcp", OldLayout::V10, recipeRows(1), {}));
    expectBoxes({kUpgrade10}, 76);
    EXPECT_EQ(bytesOf(program_ / "Backup"), "not a folder");
}

TEST_F(UpgradeFailures, ACookbookNameShorterThanFourCharactersFails) {
    const fs::path path = cookbook("abc", OldLayout::V10, recipeRows(1), {});
    const std::string original = bytesOf(path);
    frmMain form(view_);
    dbFunction::CreateCookbook((program_ / "tempdb.mdb").u16string());
    form.UpVersion_10(path.u16string(), (program_ / "tempdb.mdb").u16string());
    expectBoxes({kUpgrade10}, 5);
    EXPECT_EQ(bytesOf(path), original);
}

TEST_F(UpgradeFailures, ANewDatabaseWithoutItsVersionRowIsNotMovedIntoPlace) {
    const fs::path path = cookbook("family.rcp", OldLayout::V11, {json{{"rID", "A1"}}}, {});
    const std::string original = bytesOf(path);
    const fs::path temporary = program_ / "tempdb.mdb";
    dbFunction::dbCookbook = dao::DBEngine::Instance().CreateDatabase(temporary, dao::dbLangGeneral, dao::dbVersion30);
    dbFunction::CreateRecipeTable();
    dbFunction::CreateIngredientTable();
    auto version = dbFunction::dbCookbook->CreateTableDef(u"Version");
    version->Fields().Append(version->CreateField(u"Version", dao::type::dbText, 10));
    dbFunction::dbCookbook->TableDefs().Append(version);
    dbFunction::CloseCookbook();
    frmMain form(view_);
    form.UpVersion_11(path.u16string(), temporary.u16string());
    expectBoxes({kUpgrade11}, 3021);
    EXPECT_NE(text::toUtf8(view_.messages().back().text).find("Version"), std::string::npos);
    EXPECT_EQ(bytesOf(path), original);
    EXPECT_FALSE(fs::exists(temporary)) << "a failed run leaves no new database behind";
    EXPECT_FALSE(fs::exists(program_ / "Backup"));
    EXPECT_TRUE(view_.eventsOf(ViewEvent::Kind::Percent).empty()) << "no row was copied";
}

TEST_F(UpgradeFailures, WhenPuttingTheOriginalBackFailsTooTheMessageSaysWhereItLies) {
    const fs::path path = cookbook("family.rcp", OldLayout::V10, recipeRows(2), ingredientRows(2));
    const std::string original = bytesOf(path);
    fs::create_directory(program_ / "Backup");
    view_.onPause = [&] {
        if (view_.status != u"Creating backup copy...") return;
        // From here: the run's record (1 to 7: removal, open, write, sync, close, rename, the
        // program folder's sync) and the backup's record (8 to 14 likewise); the backup's link
        // (15) and its folder's sync (16); the new database opened (17), given the cookbook's
        // access (18) and closed (19); the cookbook this run held closed (20); the rename over
        // the cookbook (21) and the sync of the cookbook's folder (22), which fails after the
        // rename; then putting the original back: the stale temporary's removal (23) and the
        // link of the original beside the cookbook (24), which fails too.
        platform::faults::arm({22, 24});
    };
    run(path);
    platform::faults::disarm();
    const fs::path backup = program_ / "Backup" / "family_backup.rcp";
    expectBoxes({kUpgrade10}, 75);
    const std::string text = text::toUtf8(view_.messages().back().text);
    EXPECT_NE(text.find("the original cookbook lies at " + backup.string() + "."), std::string::npos) << text;
    EXPECT_EQ(bytesOf(backup), original);
    EXPECT_TRUE(isCompleteUpgrade(path, 2, 2)) << "the path leads to the new database, which the rename put there";
}

TEST_F(UpgradeFailures, AReplacementThatFailsAfterTheRenamePutsTheOriginalBack) {
    const fs::path path = cookbook("family.rcp", OldLayout::V10, recipeRows(2), ingredientRows(2));
    const std::string original = bytesOf(path);
    fs::create_directory(program_ / "Backup");
    view_.onPause = [&] {
        if (view_.status == u"Creating backup copy...") platform::faults::arm(16);  // the sync after the rename
    };
    run(path);
    platform::faults::disarm();
    expectBoxes({kUpgrade10}, 75);
    EXPECT_EQ(bytesOf(path), original);
    EXPECT_FALSE(fs::exists(program_ / "Backup" / "family_backup.rcp")) << "no backup of an upgrade that failed";
    EXPECT_TRUE(fs::is_empty(program_ / "Backup"));
    EXPECT_FALSE(fs::exists(platform::temporaryPathFor(path)));
}

class SaveAndProgressOrder : public UpgradeTest, public ::testing::WithParamInterface<OldLayout> {};

// Layout 1.0 shows a recipe's percentage before the row is saved, layout 1.1 after; ingredients
// of both after. Seen from another reader of the new database at each percentage.
TEST_P(SaveAndProgressOrder, FollowsTheLayout) {
    const OldLayout layout = GetParam();
    std::vector<json> recipes;
    for (int k = 1; k <= 3; ++k) recipes.push_back({{"rID", layout == OldLayout::V10 ? json(k) : json(std::to_string(k))}});
    std::vector<json> ingredients(2, json{{"Amt", "1"}, {"rID", layout == OldLayout::V10 ? json(1) : json("1")}});
    const fs::path path = cookbook("family.rcp", layout, recipes, ingredients);
    // At every yield: how many percentages were shown, and the Recipe and Ingredient rows saved.
    std::map<std::size_t, std::pair<long, long>> lastSeen;
    view_.onYield = [&] {
        auto db = dao::DBEngine::Instance().OpenDatabase(program_ / "tempdb.mdb");
        lastSeen[view_.eventsOf(ViewEvent::Kind::Percent).size()] = {
            db->OpenRecordset(u"Recipe", dao::dbOpenSnapshot)->RecordCount(),
            db->OpenRecordset(u"Ingredient", dao::dbOpenSnapshot)->RecordCount()};
    };
    run(path);
    ASSERT_EQ(view_.messages().size(), 1u);
    // The last yield before percentage k + 1 is the one right before row k's progress step.
    const long saved = layout == OldLayout::V10 ? 0 : 1;
    const std::map<std::size_t, std::pair<long, long>> expected{
        {0, {0 + saved, 0}}, {1, {1 + saved, 0}}, {2, {2 + saved, 0}}, {3, {3, 1}}, {4, {3, 2}}};
    EXPECT_EQ(lastSeen, expected);
}

INSTANTIATE_TEST_SUITE_P(Layouts, SaveAndProgressOrder, ::testing::Values(OldLayout::V10, OldLayout::V11),
                         [](const auto& p) { return std::string(p.param == OldLayout::V10 ? "V10" : "V11"); });

TEST_F(UpgradeFailures, APasswordProtectedCookbookIsRefusedAndLeftAsItIs) {
    ZESTREL_REQUIRE_SHARED();
    const fs::path path = dir_ / "family.rcp";
    test::copyFixtureFile(jetFixturesDir() / "passwordV2000.mdb", path);
    const std::string original = bytesOf(path);
    run(path);  // Browse turns it down; the Upgrade after it finds the path box empty
    const auto messages = view_.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].number, static_cast<int>(platform::MsgIcon::Warning));
    EXPECT_EQ(text::toUtf8(messages[0].text).rfind("\"" + path.string() +
                                                  "\" cannot be read: 3031 - The database " + path.string() + " is protected by a database password",
                                              0),
              0u)
        << text::toUtf8(messages[0].text);
    for (const auto& e : view_.eventsOf(ViewEvent::Kind::Status))
        EXPECT_EQ(text::toUtf8(e.text).find("Selected cookbook version"), std::string::npos);
    EXPECT_EQ(bytesOf(path), original);
    EXPECT_FALSE(fs::exists(program_ / "Backup"));
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
}

}  // namespace
}  // namespace zestrel::test
