// The two old-layout cookbooks written by an independent Jet 4 library, with texts in many scripts
// in every column, upgrade whole. Read by mdb-json before and after, every stored text is the
// source's text as Windows stores it in code page 1252 (from the published best-fit table, read
// here on its own), cut to its column; the list beside the backup has one line for each value that
// changed and none for any other.
#include <fstream>
#include <map>
#include <sstream>

#include "support/fixtures.h"
#include "support/reference_readers.h"
#include "text/utf8.h"
#include "upgrade/parse_quantity.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// Windows' conversion into code page 1252, straight from its published table.
class BestFit1252 {
public:
    explicit BestFit1252(const fs::path& table) {
        std::ifstream in(table);
        std::string line;
        std::map<std::uint32_t, std::uint32_t>* section = nullptr;
        while (std::getline(in, line)) {
            if (line.rfind("MBTABLE", 0) == 0) section = &toUnicode_;
            if (line.rfind("WCTABLE", 0) == 0) section = &toByte_;
            if (!section || line.rfind("0x", 0) != 0) continue;
            std::istringstream fields(line);
            std::string a;
            std::string b;
            fields >> a >> b;
            (*section)[std::stoul(a, nullptr, 16)] = std::stoul(b, nullptr, 16);
        }
    }
    bool loaded() const { return !toByte_.empty(); }

    std::u16string stored(const std::u16string& text) const {
        std::u16string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            const bool pair = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size();
            if (pair) {
                out.push_back(u'?');
                ++i;
                continue;
            }
            const auto byte = toByte_.find(text[i]);
            out.push_back(static_cast<char16_t>(toUnicode_.at(byte == toByte_.end() ? '?' : byte->second)));
        }
        return out;
    }

private:
    std::map<std::uint32_t, std::uint32_t> toUnicode_;
    std::map<std::uint32_t, std::uint32_t> toByte_;
};

constexpr std::size_t kWhole = 1u << 20;

struct Rule {
    const char* target;
    const char* from10;  // nullptr: the empty text
    const char* from11;
    std::size_t length;  // characters kept; kWhole for none
};

const std::vector<Rule> kRecipeRules{
    {"Name", "Name", "Name", 255},          {"Category", "Catagory", "Category", 255},
    {"MainIngredient", "MainIngr", "MainIngr", 255}, {"CuisineStyle", "Style", "Style", 255},
    {"Preparation", "Prep", "Prep", kWhole}, {"Yield", "Serving", "Serving", 5},
    {"Note", "comment", "comment", kWhole},  {"PrepTime", "PrepTime", "PrepTime", 80},
    {"CookTime", nullptr, "CookTime", 80},   {"Ingredients", "Ingredient", "Ingredient", kWhole},
    {"Picture", "Pic", "Pic", 255},          {"YieldUnit", "Yield", "Yield", 80},
    {"rID", "rID", "rID", 50},               {"Cookware", nullptr, "Cookware", 255}};

const std::vector<Rule> kIngredientRules{
    {"Name", "Name", "Name", 255},           {"Amount", "Amt", "Amt", 20},
    {"Measure", "Messure", "Measure", 80},   {"Ingredient", "Ingred", "Ingred", 255},
    {"PrepComment", "com", "com", 255},      {"ItemNo", "Item", "Item", 5},
    {"rID", "rID", "rID", kWhole},           {"Weights", nullptr, "Weights", 80}};

std::string textOf(const json& value) { return value.is_string() ? value.get<std::string>() : value.dump(); }

class IntlCookbook : public UpgradeTest, public ::testing::WithParamInterface<const char*> {
protected:
    // The row the new layout should hold for a source row, counting the values that change.
    json expectedRow(const std::string& table, const json& source, const std::vector<Rule>& rules, bool layout10) {
        json row = json::object();
        const std::string rid = source.contains("rID") ? "\"" + textOf(source.at("rID")) + "\"" : "Null";
        const auto changed = [&](const Rule& rule) { changed_.push_back(table + "." + rule.target + " (rID " + rid + ")"); };
        for (const Rule& rule : rules) {
            const char* from = layout10 ? rule.from10 : rule.from11;
            if (!from) {
                row[rule.target] = "";
                continue;
            }
            const json value = source.contains(from) ? source.at(from) : json(nullptr);  // mdb-json leaves out nulls
            if (value.is_null()) {
                row[rule.target] = nullptr;
                continue;
            }
            const std::u16string text = text::fromUtf8(textOf(value));
            if (layout10 && std::string(rule.target) == "Amount") {
                const dao::Variant parsed = dbFunction::ParseQuantity(text);
                if (parsed.kind() != dao::Variant::Kind::Text) {
                    row[rule.target] = parsed.toDouble();  // compared as a number
                    continue;
                }
                if (parsed.toText().empty()) {
                    if (!text.empty()) changed(rule);
                    row[rule.target] = "";
                    continue;
                }
            }
            std::u16string stored = bestFit_->stored(text);
            if (stored.size() > rule.length) stored.resize(rule.length);
            if (stored != text) changed(rule);
            row[rule.target] = text::toUtf8(stored);
        }
        return row;
    }

    // The new rows, with only the columns the rules name, amounts that are numbers as numbers.
    static std::vector<std::string> comparable(const std::vector<json>& rows, const std::vector<Rule>& rules) {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            json row = json::object();
            // mdb-json leaves out nulls and zero-length texts alike: both compare as null.
            for (const Rule& rule : rules) {
                const json value = rows[i].contains(rule.target) ? rows[i].at(rule.target) : json(nullptr);
                row[rule.target] = value == "" ? json(nullptr) : value;
            }
            out.push_back(row.dump());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

    std::optional<BestFit1252> bestFit_;
    std::vector<std::string> changed_;  // "Table.Column (rID ...)" of each value that changes
};

// Amounts that became numbers are compared by value: the new text column holds the number's text.
void numbersAsNumbers(std::vector<json>& actual, const std::vector<json>& expected) {
    for (auto& row : actual) {
        if (!row.contains("Amount") || !row.at("Amount").is_string()) continue;
        const json amount = row.at("Amount");
        for (const auto& e : expected)
            if (e.at("Amount").is_number() && e.at("Name") == row.at("Name")) row["Amount"] = std::stod(amount.get<std::string>());
    }
}

TEST_P(IntlCookbook, EveryValueIsStoredAsWindowsWouldAndEveryChangeIsListed) {
    const fs::path source = sharedDir() / "fixtures" / "cookbooks" / GetParam();
    const fs::path table = sharedDir() / "codepages" / "bestfit1252.txt";
    if (!fs::exists(source) || !fs::exists(table)) GTEST_SKIP() << "the shared cookbooks are absent (" << source << ")";
    if (!mdbtoolsInstalled() || !mdbReaderInstalled()) GTEST_SKIP() << "mdbtools or mdb-reader is not installed";
    bestFit_.emplace(table);
    const bool layout10 = std::string(GetParam()).find("intl10") == 0;
    const fs::path path = dir_ / "intl.rcp";
    fs::copy_file(source, path);
    // The source as mdb-reader reads it (mdb-json loses characters outside the Basic Multilingual Plane).
    std::vector<json> recipes;
    std::vector<json> ingredients;
    for (const auto& t : mdbReaderTables(path.string())) {
        if (t.name == "Recipe") recipes = t.rows;
        if (t.name == "Ingred") ingredients = t.rows;
    }
    std::vector<json> expectedRecipes;
    std::vector<json> expectedIngredients;
    for (const auto& row : recipes) expectedRecipes.push_back(expectedRow("Recipe", row, kRecipeRules, layout10));
    for (const auto& row : ingredients) expectedIngredients.push_back(expectedRow("Ingredient", row, kIngredientRules, layout10));

    run(path);
    ASSERT_EQ(view_.messages().size(), 1u);
    ASSERT_EQ(view_.messages()[0].number, static_cast<int>(platform::MsgIcon::Information)) << text::toUtf8(view_.messages()[0].text);
    auto newRecipes = mdbJsonRows(path.string(), "Recipe");
    auto newIngredients = mdbJsonRows(path.string(), "Ingredient");
    ASSERT_EQ(newRecipes.size(), recipes.size());
    ASSERT_EQ(newIngredients.size(), ingredients.size());
    numbersAsNumbers(newIngredients, expectedIngredients);
    EXPECT_EQ(comparable(newRecipes, kRecipeRules), comparable(expectedRecipes, kRecipeRules));
    EXPECT_EQ(comparable(newIngredients, kIngredientRules), comparable(expectedIngredients, kIngredientRules));

    // Each change once, as the table for spreadsheets lists it: rID, recipe, item, ingredient,
    // field before, field now, change.
    std::ifstream in(program_ / "Backup" / "intl_backup_changes.tsv");
    std::vector<std::string> listed;
    std::string header;
    std::getline(in, header);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> cells;
        std::istringstream row(line);
        for (std::string cell; std::getline(row, cell, '\t');) cells.push_back(cell);
        ASSERT_EQ(cells.size(), 7u) << line;
        const bool ofIngredient = !cells[2].empty() || !cells[3].empty();
        listed.push_back((ofIngredient ? "Ingredient." : "Recipe.") + cells[5] + " (rID \"" + cells[0] + "\")");
    }
    std::sort(listed.begin(), listed.end());
    std::sort(changed_.begin(), changed_.end());
    EXPECT_FALSE(changed_.empty());
    EXPECT_EQ(listed, changed_);
    EXPECT_NE(text::toUtf8(view_.messages()[0].text).find(std::to_string(changed_.size()) + " values were shortened"),
              std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(SharedCookbooks, IntlCookbook, ::testing::Values("intl10-jet4.rcp", "intl11-jet4.rcp"));

}  // namespace
}  // namespace zestrel::test
