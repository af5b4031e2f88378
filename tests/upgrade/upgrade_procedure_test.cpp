// One upgrade run seen through the recording view: status texts, percentages
// and bar values in order, the success message, and each failure's box with
// its title; after every failure the cookbook is byte for byte what it was.
#include <fstream>

#include "platform/file_system.h"
#include "format/create_cookbook.h"
#include "store/jet/text_codec.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using cli::OldLayout;

std::vector<json> recipes10(int n) {
    std::vector<json> rows;
    for (int k = 1; k <= n; ++k)
        rows.push_back({{"Name", "R" + std::to_string(k)}, {"rID", k}, {"Mark", false}});
    return rows;
}

std::vector<json> ingredients10(int n) {
    std::vector<json> rows;
    for (int j = 1; j <= n; ++j) rows.push_back({{"Name", "I" + std::to_string(j)}, {"Amt", "1"}, {"rID", 1}});
    return rows;
}

using Upgrade = UpgradeTest;

TEST_F(Upgrade, ThreeRecipesAndFiveIngredientsShowTheirPercentages) {
    run(cookbook("family.rcp", OldLayout::V10, recipes10(3), ingredients10(5)));
    const std::vector<std::u16string> expected{u"0%", u"12%", u"25%", u"25%", u"38%", u"50%", u"62%", u"75%", u""};
    EXPECT_EQ(percentCaptions(), expected);
    std::vector<int> bar;
    for (const auto& e : view_.eventsOf(ViewEvent::Kind::ProgressValue)) bar.push_back(e.number);
    EXPECT_EQ(bar, (std::vector<int>{0, 12, 25, 25, 38, 50, 62, 75, 0}));
    EXPECT_FALSE(view_.progressVisible);
    EXPECT_TRUE(view_.exitEnabled);
    EXPECT_FALSE(view_.upgradeEnabled);
}

TEST_F(Upgrade, NoRecipesStartsTheIngredientsBelowZero) {
    run(cookbook("family.rcp", OldLayout::V10, {}, ingredients10(4)));
    EXPECT_EQ(percentCaptions().front(), u"-25%");
    EXPECT_EQ(view_.eventsOf(ViewEvent::Kind::ProgressValue).front().number, -25);
}

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
    const fs::path path = cookbook("family.rcp", OldLayout::V10, recipes10(1), {});
    fs::create_directory(program_ / "Backup");
    std::ofstream(program_ / "Backup" / "family_backup.rcp") << "another family's only original";
    std::ofstream(program_ / "Backup" / "family_backup_2.rcp") << "and another";
    const std::string original = bytesOf(path);
    run(path);
    EXPECT_EQ(bytesOf(program_ / "Backup" / "family_backup.rcp"), "another family's only original");
    EXPECT_EQ(bytesOf(program_ / "Backup" / "family_backup_2.rcp"), "and another");
    EXPECT_EQ(bytesOf(program_ / "Backup" / "family_backup_3.rcp"), original);
    EXPECT_NE(jet::toUtf8(view_.messages().back().text).find("family_backup_3.rcp\""), std::string::npos);
}

TEST_F(Upgrade, WhenTheNewFileCannotTakeItsPlaceTheCookbookGoesBack) {
    const fs::path path = cookbook("family.rcp", OldLayout::V10, recipes10(2), ingredients10(2));
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
        const std::string text = jet::toUtf8(messages.back().text);
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

TEST_F(UpgradeFailures, AMissingIngredTableWarnsThenFails) {
    std::vector<std::u16string> recipe;
    for (const auto& column : cli::oldRecipeColumns(OldLayout::V10)) recipe.push_back(column.name);
    runUnchanged(customCookbook("noingred.rcp", {{u"Recipe", recipe}}));
    expectBoxes({{u"Get Record Count", platform::MsgIcon::Warning}, kUpgrade10}, 3078);
}

TEST_F(UpgradeFailures, AMissingColumnFails) {
    runUnchanged(customCookbook("nopic.rcp", {{u"Recipe", {u"Name", u"rID"}}, {u"Ingred", {u"Name", u"rID"}}}));
    expectBoxes({kUpgrade10}, 3265);
}

TEST_F(UpgradeFailures, ANullLayout10AmountFails) {
    runUnchanged(cookbook("family.rcp", OldLayout::V10, recipes10(1), {json{{"Name", "x"}, {"Amt", nullptr}, {"rID", 1}}}));
    expectBoxes({kUpgrade10}, 94);
}

TEST_F(UpgradeFailures, AValueTooLongForItsColumnFails) {
    runUnchanged(cookbook("family.rcp", OldLayout::V11, {json{{"rID", std::string(60, '7')}}}, {}));
    expectBoxes({kUpgrade11}, 3163);
}

TEST_F(UpgradeFailures, AMissingTemporaryDatabaseFails) {
    fs::create_directory(program_ / "tempdb.mdb");  // a folder of that name: no database can be made there
    runUnchanged(cookbook("family.rcp", OldLayout::V11, {}, {}));
    expectBoxes({{u"Create Database", platform::MsgIcon::Critical}, kUpgrade11}, 3051);
    EXPECT_TRUE(fs::is_directory(program_ / "tempdb.mdb"));
}

TEST_F(UpgradeFailures, APlainFileNamedBackupFails) {
    std::ofstream(program_ / "Backup") << "not a folder";
    runUnchanged(cookbook("family.rcp", OldLayout::V10, recipes10(1), {}));
    expectBoxes({kUpgrade10}, 76);
    EXPECT_EQ(bytesOf(program_ / "Backup"), "not a folder");
}

TEST_F(UpgradeFailures, ACookbookNameShorterThanFourCharactersFails) {
    const fs::path path = cookbook("abc", OldLayout::V10, recipes10(1), {});
    const std::string original = bytesOf(path);
    frmMain form(view_);
    dbFunction::CreateCookbook((program_ / "tempdb.mdb").u16string());
    form.UpVersion_10(path.u16string(), (program_ / "tempdb.mdb").u16string());
    expectBoxes({kUpgrade10}, 5);
    EXPECT_EQ(bytesOf(path), original);
}

}  // namespace
}  // namespace zestrel::test
