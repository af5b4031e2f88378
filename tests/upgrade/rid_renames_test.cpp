// Recipes whose rIDs differ only in characters code page 1252 lacks stay apart through the
// upgrade: the later one in rID order gets a new rID, its ingredients follow it, the list says why,
// and recipes the old cookbook already gave one rID are named and left alone. The old cookbooks are
// Jet 3 files of another code page (1250, 1251), whose texts hold such characters.
#include <algorithm>
#include <fstream>
#include <map>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/fixtures.h"
#include "support/header_code_page.h"
#include "support/process.h"
#include "text/case_fold.h"
#include "text/code_page.h"
#include "text/utf8.h"
#include "upgrade/rid_renames.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct Row {
    std::string rid;
    std::string name;
};

struct RenameCase {
    std::string label;
    std::uint16_t codePage;
    std::vector<Row> recipes;
    std::vector<Row> ingredients;
    std::map<std::string, std::string> storedRids;  // recipe name (as stored) -> rID in the new cookbook
    std::vector<std::string> listLines;             // lines the list of changes must hold
    std::size_t renamed;                            // recipes that get a new rID
};

void PrintTo(const RenameCase& c, std::ostream* out) { *out << c.label; }

// The text whose code page 1252 bytes are those `text` has in code page `number`: written by the
// sample command (which writes code page 1252), then read in `number` once the header names it.
std::string asWesternBytes(const std::string& text, std::uint16_t number) {
    const text::CodePage* page = text::findCodePage(number);
    std::vector<std::uint8_t> bytes;
    page->appendEncoded(text::fromUtf8(text), bytes);
    return text::toUtf8(text::westernEuropean().decode(bytes));
}

void writeRows(const fs::path& file, const std::vector<Row>& rows, std::uint16_t codePage, bool recipes) {
    std::ofstream out(file);
    for (const auto& row : rows) {
        json line{{"Name", asWesternBytes(row.name, codePage)}, {"rID", asWesternBytes(row.rid, codePage)}};
        line[recipes ? "Serving" : "Amt"] = "1";
        out << line.dump() << "\n";
    }
}

std::vector<json> dumpRows(const fs::path& file, const std::string& table) {
    const auto result = zestrel({"dump", file.string(), table});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::vector<json> rows;
    for (const auto& line : splitLines(result.out))
        if (!line.empty()) rows.push_back(json::parse(line));
    return rows;
}

std::u16string folded(const json& rid) { return text::foldCase(text::fromUtf8(rid.get<std::string>())); }

// A name as the new cookbook stores it, so that names read before and after the upgrade compare.
std::string storedName(const json& name) {
    return text::toUtf8(text::westernEuropean().stored(text::fromUtf8(name.get<std::string>())));
}

// For each recipe (by name), the names of the ingredient rows whose rID matches its rID as the
// cookbook program matches it (without regard to case), sorted.
std::map<std::string, std::vector<std::string>> ingredientsByRecipe(const fs::path& file,
                                                                    const std::string& ingredientTable) {
    const auto recipes = dumpRows(file, "Recipe");
    const auto ingredients = dumpRows(file, ingredientTable);
    std::map<std::string, std::vector<std::string>> byRecipe;
    for (const auto& recipe : recipes) {
        auto& names = byRecipe[storedName(recipe["Name"])];
        for (const auto& ingredient : ingredients)
            if (folded(ingredient["rID"]) == folded(recipe["rID"])) names.push_back(storedName(ingredient["Name"]));
        std::sort(names.begin(), names.end());
    }
    return byRecipe;
}

class RidRenameTest : public ::testing::TestWithParam<RenameCase> {
protected:
    void SetUp() override {
        const RenameCase& c = GetParam();
        dir_ = makeTempDir("rids");
        cookbook_ = dir_ / "family.rcp";
        writeRows(dir_ / "recipes.jsonl", c.recipes, c.codePage, true);
        writeRows(dir_ / "ingredients.jsonl", c.ingredients, c.codePage, false);
        const auto made = zestrel({"sample", "--layout", "1.1", "--recipe-rows", (dir_ / "recipes.jsonl").string(),
                                   "--ingredient-rows", (dir_ / "ingredients.jsonl").string(), cookbook_.string()});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        if (c.codePage != 1252) setHeaderCodePage(cookbook_, 1252, c.codePage);
    }
    void TearDown() override { checkAndRemoveTempDir(dir_); }

    fs::path dir_;
    fs::path cookbook_;
};

TEST_P(RidRenameTest, RecipesStayApartAndKeepTheirIngredients) {
    const RenameCase& c = GetParam();
    const fs::path program = dir_ / "program";
    const auto before = ingredientsByRecipe(cookbook_, "Ingred");

    const auto dry = zestrel({"upgrade", "--dry-run", "--program-folder", program.string(), cookbook_.string()});
    ASSERT_EQ(dry.exitCode, 0) << dry.out << dry.err;
    // The dry run's list says what would become of them.
    for (std::string line : c.listLines) {
        if (const auto at = line.find("became "); at != std::string::npos) line.replace(at, 7, "would become ");
        EXPECT_NE(dry.out.find(line), std::string::npos) << line << "\n" << dry.out;
    }
    const std::string would = std::to_string(c.renamed) + (c.renamed == 1 ? " recipe would get" : " recipes would get");
    EXPECT_EQ(c.renamed > 0, (dry.out + dry.err).find(would) != std::string::npos) << dry.out << dry.err;

    const auto result = zestrel({"upgrade", "--program-folder", program.string(), cookbook_.string()});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    const std::string got = std::to_string(c.renamed) + (c.renamed == 1 ? " recipe got" : " recipes got");
    EXPECT_EQ(c.renamed > 0, (result.out + result.err).find(got) != std::string::npos) << result.out << result.err;
    // A list that holds no changed value never says it does.
    EXPECT_EQ((result.out + result.err).find(" 0 values were"), std::string::npos) << result.err;

    for (const auto& recipe : dumpRows(cookbook_, "Recipe"))
        EXPECT_EQ(recipe["rID"], c.storedRids.at(recipe["Name"])) << recipe["Name"];
    EXPECT_EQ(ingredientsByRecipe(cookbook_, "Ingredient"), before);
    // No ingredient row is left without its recipe.
    const auto recipes = dumpRows(cookbook_, "Recipe");
    for (const auto& ingredient : dumpRows(cookbook_, "Ingredient"))
        EXPECT_TRUE(std::any_of(recipes.begin(), recipes.end(),
                                [&](const json& r) { return folded(r["rID"]) == folded(ingredient["rID"]); }))
            << ingredient["Name"];

    const std::string list = textFile(program / "Backup" / "family_backup_changes.txt");
    for (const auto& line : c.listLines) EXPECT_NE(list.find(line), std::string::npos) << line << "\n" << list;
}

const std::string kFifty(49, 'a');

INSTANTIATE_TEST_SUITE_P(
    WorkedCases, RidRenameTest,
    ::testing::Values(
        RenameCase{"AccentTheNewLayoutLacks", 1250,
                   {{"Zur", "Zucchini bake"}, {"Żur", "Żurek"}},
                   {{"Zur", "zucchini"}, {"Żur", "sourdough starter"}},
                   {{"Zucchini bake", "Zur"}, {"Zurek", "Zur~2"}},
                   {"Recipe \"Żurek\" (rID \"Żur\"), rID: rID \"Żur\" of \"Żurek\" became \"Zur~2\", because \"Zur\" "
                    "(Zucchini bake) also becomes \"Zur\"",
                    "Recipe \"Żurek\" (rID \"Żur\"), ingredient \"sourdough starter\", rID: rID \"Żur\" became "
                    "\"Zur~2\" with its recipe \"Żurek\""},
                   1},
        RenameCase{"TwoCyrillicOfOneLength", 1251,
                   {{"Щуки", "Pike"}, {"Борщ", "Borscht"}},
                   {{"Борщ", "beet"}, {"Щуки", "pike"}, {"Борщ", "cabbage"}},
                   {{"Borscht", "????"}, {"Pike", "????~2"}},
                   {"rID \"Щуки\" of \"Pike\" became \"????~2\", because \"Борщ\" (Borscht) also becomes \"????\""},
                   1},
        RenameCase{"ThreeThatMeet", 1251,
                   {{"Борщ", "Borscht"}, {"Каша", "Porridge"}, {"Щуки", "Pike"}},
                   {{"Борщ", "beet"}, {"Каша", "buckwheat"}, {"Щуки", "pike"}},
                   {{"Borscht", "????"}, {"Porridge", "????~2"}, {"Pike", "????~3"}},
                   {"rID \"Каша\" of \"Porridge\" became \"????~2\"", "rID \"Щуки\" of \"Pike\" became \"????~3\""},
                   2},
        RenameCase{"SuffixAlreadyTaken", 1250,
                   {{"Zur", "Zucchini bake"}, {"Zur~2", "Zucchini soup"}, {"Żur", "Żurek"}},
                   {{"Zur", "zucchini"}, {"Zur~2", "stock"}, {"Żur", "sourdough starter"}},
                   {{"Zucchini bake", "Zur"}, {"Zucchini soup", "Zur~2"}, {"Zurek", "Zur~3"}},
                   {"rID \"Żur\" of \"Żurek\" became \"Zur~3\""},
                   1},
        RenameCase{"SuffixFitsTheColumn", 1250,
                   {{"Z" + kFifty, "Long one"}, {"Ż" + kFifty, "Long two"}},
                   {{"Z" + kFifty, "first"}, {"Ż" + kFifty, "second"}},
                   {{"Long one", "Z" + kFifty}, {"Long two", "Z" + kFifty.substr(0, 47) + "~2"}},
                   {"became \"Z" + kFifty.substr(0, 47) + "~2\""},
                   1},
        RenameCase{"CaseDoesNotKeepThemApart", 1250,
                   {{"zur", "Zucchini bake"}, {"Żur", "Żurek"}},
                   {{"zur", "zucchini"}, {"żur", "sourdough starter"}, {"ŻUR", "rye flour"}},
                   {{"Zucchini bake", "zur"}, {"Zurek", "Zur~2"}},
                   {"rID \"Żur\" of \"Żurek\" became \"Zur~2\", because \"zur\" (Zucchini bake) also becomes \"Zur\"",
                    "Recipe \"Żurek\" (rID \"żur\"), ingredient \"sourdough starter\", rID: rID \"Żur\" became "
                    "\"Zur~2\" with its recipe \"Żurek\""},
                   1},
        RenameCase{"NamesWithLineBreaks", 1250,
                   {{"Zur", "Zucchini\nbake"}, {"Żur", "Żurek"}, {"R1", "Soup\nforged"}, {"R1", "Stew"}},
                   {{"Zur", "zucchini"}, {"Żur", "sourdough starter"}, {"R1", "water"}},
                   {{"Zucchini\nbake", "Zur"}, {"Zurek", "Zur~2"}, {"Soup\nforged", "R1"}, {"Stew", "R1"}},
                   {"(Zucchini\\nbake) also becomes \"Zur\"", "(\"Soup\\nforged\", \"Stew\")"},
                   1},
        RenameCase{"SharedInTheOriginal", 1252,
                   {{"R1", "Soup"}, {"R1", "Stew"}, {"r2", "Salad"}, {"R2", "Slaw"}, {"R3", "Bread"}},
                   {{"R1", "water"}, {"R2", "cabbage"}, {"R3", "flour"}},
                   {{"Soup", "R1"}, {"Stew", "R1"}, {"Salad", "r2"}, {"Slaw", "R2"}, {"Bread", "R3"}},
                   {"2 recipes share rID \"R1\" in the original cookbook (\"Soup\", \"Stew\"); their ingredients "
                    "cannot be told apart.",
                    "2 recipes share rID \"", "(\"Salad\", \"Slaw\")"},
                   0}),
    [](const ::testing::TestParamInfo<RenameCase>& param) { return param.param.label; });

// The new rID keeps to the column's size however long its number grows.
TEST(NumberedRid, FitsItsRoom) {
    EXPECT_EQ(upgrade::numberedRid(u"Zur", 2, 50), u"Zur~2");
    EXPECT_EQ(upgrade::numberedRid(std::u16string(50, u'x'), 12, 50), std::u16string(47, u'x') + u"~12");
    EXPECT_EQ(upgrade::numberedRid(u"", 3, 50), u"~3");
}

// rIDs match as the cookbook program matches them: case does not count, accents do.
TEST(RidMatchKey, IgnoresCaseButNotAccents) {
    EXPECT_EQ(upgrade::ridMatchKey(u"Zur"), upgrade::ridMatchKey(u"zUR"));
    EXPECT_EQ(upgrade::ridMatchKey(u"Żur"), upgrade::ridMatchKey(u"żur"));
    EXPECT_EQ(upgrade::ridMatchKey(u"Борщ"), upgrade::ridMatchKey(u"БОРЩ"));
    EXPECT_NE(upgrade::ridMatchKey(u"Zur"), upgrade::ridMatchKey(u"Żur"));
    EXPECT_NE(upgrade::ridMatchKey(u"Crepe"), upgrade::ridMatchKey(u"Crêpe"));
}

}  // namespace
}  // namespace zestrel::test
