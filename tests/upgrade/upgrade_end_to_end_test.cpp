// Whole upgrades of cookbooks of both layouts whose rows are the conversion
// edge cases: every column of every upgraded row is what the column maps say,
// read by our reader (exactly: nulls stay null, empty texts are zero-length),
// by mdb-json and by mdb-reader; rows follow rID; the backup is the original;
// the version reads 1.3; no temporary database remains.
#include <algorithm>

#include "platform/file_system.h"
#include "store/db_function.h"
#include "support/fixtures.h"
#include "support/process.h"
#include "support/reference_readers.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using cli::OldLayout;

const std::string kNote(3000, 'n');
const std::string kPic(300, 'p');
const std::string kLongIngred(300, 'i');

json recipe(json name, json category, json yield, json note, bool mark, json cookTime, json picture, json yieldUnit,
            std::string rid, json cookware) {
    json row = json::object();
    row["Name"] = name;
    row["Category"] = category;
    row["MainIngredient"] = nullptr;
    row["CuisineStyle"] = nullptr;
    row["Preparation"] = nullptr;
    row["Yield"] = yield;
    row["Note"] = note;
    row["Mark"] = mark;
    row["PrepTime"] = nullptr;
    row["CookTime"] = cookTime;
    row["Ingredients"] = nullptr;
    row["Picture"] = picture;
    row["RecipeBy"] = "";
    row["UserDefine1"] = "";
    row["YieldUnit"] = yieldUnit;
    row["rID"] = rid;
    row["Cookware"] = cookware;
    return row;
}

json ingredient(json name, json amount, json measure, json ingred, json comment, json item, std::string rid, json weights) {
    return json{{"Name", name},    {"Amount", amount}, {"Measure", measure}, {"Ingredient", ingred}, {"PrepComment", comment},
                {"ItemNo", item},  {"rID", rid},       {"Weights", weights}, {"Link", 0},            {"Factor", 0},
                {"MEID", 0},       {"Cost", 0},        {"CostUnit", ""}};
}

struct Expectation {
    std::vector<json> recipes;
    std::vector<json> ingredients;
};

class UpgradeEndToEnd : public UpgradeTest {
protected:
    void upgradeAndCheck(const fs::path& path, const Expectation& expected) {
        const std::string original = bytesOf(path);
        run(path);
        ASSERT_EQ(view_.messages().size(), 1u) << "the success message only";
        EXPECT_EQ(bytesOf(program_ / "Backup" / (path.stem().string() + "_backup.rcp")), original);
        EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
        dbFunction::OpenCookbook(path.u16string());
        EXPECT_EQ(dbFunction::ReadCookbookVersion(), u"1.3");
        dbFunction::CloseCookbook();
        checkTable(path, "Recipe", expected.recipes);
        checkTable(path, "Ingredient", expected.ingredients);
    }

    void checkTable(const fs::path& path, const std::string& table, const std::vector<json>& expected) {
        const std::string file = path.string();
        SCOPED_TRACE(table);
        const auto ours = zestrelDump(file, table);
        ASSERT_EQ(ours.size(), expected.size());
        for (std::size_t i = 0; i < ours.size(); ++i) EXPECT_EQ(json::parse(ours[i]), expected[i]) << "row " << i;
        const auto columns = zestrelSchema(file, table);
        if (mdbtoolsInstalled()) {
            const auto rows = mdbJsonRows(file, table);
            ASSERT_EQ(rows.size(), expected.size());
            for (std::size_t i = 0; i < rows.size(); ++i)
                EXPECT_EQ(compareWithMdbJson(expected[i], rows[i], columns), "") << "mdb-json row " << i;
        }
        if (mdbReaderInstalled()) {
            const auto tables = mdbReaderTables(file);
            EXPECT_EQ(std::count_if(tables.begin(), tables.end(), [&](const auto& t) { return t.name == table; }), 1)
                << "mdb-reader lists the table once";
            for (const auto& t : tables) {
                if (t.name != table) continue;
                ASSERT_EQ(t.rows.size(), expected.size());
                for (std::size_t i = 0; i < t.rows.size(); ++i)
                    EXPECT_EQ(compareWithMdbReader(expected[i], t.rows[i], columns), "") << "mdb-reader row " << i;
            }
        }
    }
};

TEST_F(UpgradeEndToEnd, Layout10) {
    const std::vector<json> recipes{
        {{"Name", "Pancakes"}, {"Catagory", "Breakfast"}, {"Serving", "12 servings"}, {"comment", kNote}, {"Mark", true},
         {"Pic", kPic}, {"Yield", "pancakes"}, {"rID", 42}},
        {{"Name", nullptr}, {"Mark", false}, {"rID", 7}},
        {{"Name", "Zeta"}, {"Serving", "4"}, {"Yield", std::string(90, 'y')}, {"rID", 100}, {"Mark", false}},
    };
    const std::vector<json> ingredients{
        {{"Name", "Pancakes"}, {"Amt", "1 1/2"}, {"Messure", "cup"}, {"Ingred", "flour"}, {"com", "sifted"}, {"Item", 1}, {"rID", 42}},
        {{"Amt", "3/4"}, {"Item", 2}, {"rID", 42}},
        {{"Amt", "1*"}, {"rID", 42}},
        {{"Amt", "100"}, {"rID", 42}},
        {{"Amt", "1 cup"}, {"rID", 7}},
        {{"Amt", "1/2 cup"}, {"rID", 7}},
        {{"Amt", "1/3"}, {"Ingred", kLongIngred}, {"Item", 3}, {"rID", 100}},
        {{"Amt", "2 "}, {"Name", nullptr}, {"rID", 100}},
        {{"Amt", ""}, {"com", nullptr}, {"rID", 7}},
        {{"Name", "salt, to taste"}, {"Amt", nullptr}, {"rID", 100}},
        {{"Amt", "2 heaping tablespoons"}, {"rID", 100}},
    };
    Expectation expected;
    expected.recipes = {
        recipe(nullptr, nullptr, nullptr, nullptr, false, "", nullptr, nullptr, "7", ""),
        recipe("Pancakes", "Breakfast", "12 se", kNote, true, "", kPic.substr(0, 255), "pancakes", "42", ""),
        recipe("Zeta", nullptr, "4", nullptr, false, "", nullptr, std::string(80, 'y'), "100", ""),
    };
    expected.ingredients = {
        ingredient(nullptr, "1 cup", nullptr, nullptr, nullptr, nullptr, "7", ""),
        ingredient(nullptr, "1/2 cup", nullptr, nullptr, nullptr, nullptr, "7", ""),
        ingredient(nullptr, "", nullptr, nullptr, nullptr, nullptr, "7", ""),
        ingredient("Pancakes", "1.5", "cup", "flour", "sifted", "1", "42", ""),
        ingredient(nullptr, "0.75", nullptr, nullptr, nullptr, "2", "42", ""),
        ingredient(nullptr, "", nullptr, nullptr, nullptr, nullptr, "42", ""),
        ingredient(nullptr, "100", nullptr, nullptr, nullptr, nullptr, "42", ""),  // not 1E+02
        ingredient(nullptr, "0.3333333", nullptr, kLongIngred.substr(0, 255), nullptr, "3", "100", ""),
        ingredient(nullptr, "2", nullptr, nullptr, nullptr, nullptr, "100", ""),
        ingredient("salt, to taste", nullptr, nullptr, nullptr, nullptr, nullptr, "100", ""),
        ingredient(nullptr, "2 heaping tablespoon", nullptr, nullptr, nullptr, nullptr, "100", ""),
    };
    upgradeAndCheck(cookbook("family.rcp", OldLayout::V10, recipes, ingredients), expected);
}

TEST_F(UpgradeEndToEnd, Layout11) {
    const std::vector<json> recipes{
        {{"Name", "Soup"}, {"Category", "Starter"}, {"CookTime", nullptr}, {"Cookware", std::string(100, 'c')},
         {"Serving", "2"}, {"Mark", true}, {"rID", "B2"}},
        {{"Name", "Bread"}, {"CookTime", "30 min"}, {"Cookware", "Pot"}, {"rID", "A1"}, {"Mark", false}},
        {{"Name", "Stew"}, {"Cookware", std::string(255, 'k')}, {"rID", "C3"}, {"Mark", false}},
    };
    const std::vector<json> ingredients{
        {{"Amt", "1 1/2"}, {"Measure", "cup"}, {"Item", "1234567"}, {"Weights", nullptr}, {"rID", "B2"}},
        {{"Amt", "3/4"}, {"Weights", std::string(90, 'w')}, {"rID", "A1"}},
    };
    Expectation expected;
    expected.recipes = {
        recipe("Bread", nullptr, nullptr, nullptr, false, "30 min", nullptr, nullptr, "A1", "Pot"),
        recipe("Soup", "Starter", "2", nullptr, true, nullptr, nullptr, nullptr, "B2", std::string(100, 'c')),
        recipe("Stew", nullptr, nullptr, nullptr, false, nullptr, nullptr, nullptr, "C3", std::string(255, 'k')),
    };
    expected.ingredients = {
        ingredient(nullptr, "3/4", nullptr, nullptr, nullptr, nullptr, "A1", std::string(80, 'w')),
        ingredient(nullptr, "1 1/2", "cup", nullptr, nullptr, "12345", "B2", nullptr),
    };
    upgradeAndCheck(cookbook("family.rcp", OldLayout::V11, recipes, ingredients), expected);
}

TEST_F(UpgradeEndToEnd, TheCommandLineUpgradesAndSaysSo) {
    const fs::path path = dir_ / "sample.rcp";
    ASSERT_EQ(runProcess({zestrelProgram().string(), "sample", "--layout", "1.0", "--recipes", "20", path.string()}).exitCode, 0);
    const auto result = runProcess({zestrelProgram().string(), "upgrade", "--program-folder", program_.string(), path.string()});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE(result.err.find("Upgrade successful!"), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "") << "what happens goes to standard error";
    EXPECT_EQ(zestrelDump(path.string(), "Recipe").size(), 20u);
    const auto again = runProcess({zestrelProgram().string(), "upgrade", "--program-folder", program_.string(), path.string()});
    EXPECT_EQ(again.exitCode, 0) << again.err;  // already current: no failure
    EXPECT_EQ(again.err, path.string() + ": already at version 1.3; nothing to do\n");
}

}  // namespace
}  // namespace zestrel::test
