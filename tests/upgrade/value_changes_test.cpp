// The values an upgrade stores other than as the old cookbook held them: each is cut or converted
// as the new layout needs, the upgrade goes on, and each appears in the list written beside the
// backup, once; a value that did not change never does. A dry run changes no file.
#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/fault_injection.h"
#include "platform/file.h"
#include "support/fixtures.h"
#include "support/reference_readers.h"
#include "text/utf8.h"
#include "upgrade/upgrade_support.h"
#include "upgrade/backup_naming.h"
#include "upgrade/value_changes.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using cli::OldLayout;

std::string textOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> listLines(const std::string& list) {
    std::vector<std::string> lines;
    const auto counts = std::min(list.find("changed in "), list.find("would change in "));
    std::istringstream in(list.substr(list.find("\n\n", counts) + 2));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

struct ChangedValue {
    const char* name;
    OldLayout layout;
    json recipe;      // old column names
    json ingredient;  // old column names; null for none
    const char* table;
    const char* column;
    json stored;      // what the new column holds
    std::string line;  // the list's line for it
};

class ChangedValues : public UpgradeTest, public ::testing::WithParamInterface<ChangedValue> {};

TEST_P(ChangedValues, AreStoredCutOrConvertedAndListed) {
    const ChangedValue& c = GetParam();
    std::vector<json> ingredients;
    if (!c.ingredient.is_null()) {
        json row{{"Name", "Soup"}, {"Item", 1}, {"Ingred", "flour"}};
        row.update(c.ingredient);
        ingredients.push_back(row);
    }
    const fs::path path = cookbook("family.rcp", c.layout, {c.recipe}, ingredients);
    run(path);
    ASSERT_EQ(view_.messages().size(), 1u);
    const fs::path list = program_ / "Backup" / "family_backup_changes.txt";
    EXPECT_EQ(text::toUtf8(view_.messages()[0].text),
              "Upgrade successful! A backup copy of the original cookbook has been saved as \"" +
                  (program_ / "Backup" / "family_backup.rcp").string() + "\"\n\n1 values were shortened or changed to fit "
                  "the new layout; they are listed in \"" + list.string() + "\".");
    const auto rows = zestrelDump(path.string(), c.table);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(json::parse(rows[0])[c.column], c.stored);
    const std::string text = textFile(list);
    EXPECT_EQ(listLines(text), std::vector<std::string>{c.line}) << text;
    const bool fewerDigits = c.line.find(" stored as ") != std::string::npos;
    EXPECT_EQ(text.find("1 amount has fewer digits than it was written with") != std::string::npos, fewerDigits) << text;
    EXPECT_NE(text.find("\n1 value changed in 1 recipe.\n"), std::string::npos) << text;
}

const json kRecipe10{{"Name", "Soup"}, {"rID", 1}};
// How the list names the ingredient every case has, the first of recipe "Soup".
const std::string kFlour = "Recipe \"Soup\" (rID \"1\"), ingredient 1 \"flour\", ";
const json kRecipe11{{"Name", "Soup"}, {"rID", "1"}};

INSTANTIATE_TEST_SUITE_P(
    Cases, ChangedValues,
    ::testing::Values(
        ChangedValue{"Layout10AmountWithSlashAndBlank", OldLayout::V10, kRecipe10,
                     json{{"Amt", "1 1/2 cups finely chopped"}, {"rID", 1}}, "Ingredient", "Amount",
                     "1 1/2 cups finely ch",
                     kFlour + "Amt \u2192 Amount: cut to 20 of 25 characters, cut off: \"opped\""},
        ChangedValue{"Layout11AmountOverTwenty", OldLayout::V11, kRecipe11,
                     json{{"Amt", "1 1/2 cups, heaped and sifted"}, {"rID", "1"}}, "Ingredient", "Amount",
                     "1 1/2 cups, heaped a",
                     kFlour + "Amt \u2192 Amount: cut to 20 of 29 characters, cut off: \"nd sifted\""},
        ChangedValue{"Layout10AmountMarkedWithAStar", OldLayout::V10, kRecipe10, json{{"Amt", "1*"}, {"rID", 1}},
                     "Ingredient", "Amount", "",
                     kFlour + "Amt \u2192 Amount: amount \"1*\" emptied (an amount marked with \"*\" is left empty)"},
        ChangedValue{"Layout10AmountBeyondSevenDigits", OldLayout::V10, kRecipe10,
                     json{{"Amt", "12345678"}, {"rID", 1}}, "Ingredient", "Amount", "1.234568E+07",
                     kFlour + "Amt \u2192 Amount: amount \"12345678\" stored as \"1.234568E+07\" (a number keeps 7 "
                     "significant digits)"},
        ChangedValue{"Layout10DecimalBeyondSevenDigits", OldLayout::V10, kRecipe10,
                     json{{"Amt", "0.12345678"}, {"rID", 1}}, "Ingredient", "Amount", "0.1234568",
                     kFlour + "Amt \u2192 Amount: amount \"0.12345678\" stored as \"0.1234568\" (a number keeps 7 "
                     "significant digits)"},
        ChangedValue{"Layout10MixedWithALongWholePart", OldLayout::V10, kRecipe10,
                     json{{"Amt", "-123456789 1/2"}, {"rID", 1}}, "Ingredient", "Amount", "-1.234568E+08",
                     kFlour + "Amt \u2192 Amount: amount \"-123456789 1/2\" stored as \"-1.234568E+08\" (a number "
                     "keeps 7 significant digits)"},
        ChangedValue{"Layout10AmountBeyondASingle", OldLayout::V10, kRecipe10,
                     json{{"Amt", "1" + std::string(49, '0')}, {"rID", 1}}, "Ingredient", "Amount", "",
                     kFlour + "Amt \u2192 Amount: amount \"1" + std::string(49, '0') +
                         "\" emptied (too long for its field: cut, it would read as another number)"},
        ChangedValue{"ServingBecomesYield", OldLayout::V11,
                     json{{"Name", "Soup"}, {"Serving", "4 servings"}, {"rID", "R2"}}, nullptr, "Recipe", "Yield",
                     "4 ser", "Recipe \"Soup\" (rID \"R2\"), Serving \u2192 Yield: cut to 5 of 10 characters, cut off: \"vings\""},
        ChangedValue{"ALongItemNumber", OldLayout::V10, kRecipe10, json{{"Amt", "2"}, {"Item", 1234567}, {"rID", 1}},
                     "Ingredient", "ItemNo", "12345",
                     "Recipe \"Soup\" (rID \"1\"), ingredient 1234567 \"flour\", Item \u2192 ItemNo: cut to 5 of 7 characters, cut off: \"67\""}),
    [](const auto& p) { return std::string(p.param.name); });

using ValueChangesList = UpgradeTest;

// Amounts that become their number with every digit they wrote (a fraction's quotient to the
// digits its column keeps), numbers written as text and texts within their column are no change:
// no list is written and the message says nothing of one.
TEST_F(ValueChangesList, ValuesConvertedWithoutLossAreNoChange) {
    const std::vector<std::pair<std::string, std::string>> amounts{
        {"3/4", "0.75"},    {"1 1/2", "1.5"},     {"-1 1/2", "-1.5"}, {"1/3", "0.3333333"}, {"0.1", "0.1"},
        {"1234567", "1234567"}, {"100", "100"}, {"2.50", "2.5"},   {"0", "0"},           {"0.0001", "0.0001"},
        {"12 cups of flour, sifted", "12 cups of flour, si"}};
    std::vector<json> ingredients;
    for (const auto& amount : amounts) ingredients.push_back(json{{"Amt", amount.first}, {"Item", 3}, {"rID", 42}});
    const fs::path path =
        cookbook("family.rcp", OldLayout::V10, {json{{"Name", "Soup"}, {"Serving", "4"}, {"rID", 42}}}, ingredients);
    run(path);
    ASSERT_EQ(view_.messages().size(), 1u);
    std::vector<std::string> stored;
    for (const auto& row : zestrelDump(path.string(), "Ingredient")) stored.push_back(json::parse(row)["Amount"]);
    std::vector<std::string> expected;
    for (const auto& amount : amounts) expected.push_back(amount.second);
    EXPECT_EQ(stored, expected);
    // The one text cut (no number) is the one change.
    const std::string list = textFile(program_ / "Backup" / "family_backup_changes.txt");
    EXPECT_EQ(listLines(list), std::vector<std::string>{"Recipe \"Soup\" (rID \"42\"), ingredient 3, Amt \u2192 Amount: cut to 20 of 24 "
                                                      "characters, cut off: \"fted\""}) << list;
}

// Amounts repeat from row to row: every row stores what its own amount gives, and every change
// is listed, however often the same amount comes.
TEST_F(ValueChangesList, RepeatedAmountsEachStoreWhatTheyGiveAndEachChangeIsListed) {
    const std::vector<std::string> amounts{"1 1/2", "1*", "2 cups", "1 1/2", "1*", "2 cups", "1/4",
                                           "1 1/2 cups finely chopped", "1 1/2 cups finely chopped"};
    std::vector<json> ingredients;
    for (std::size_t i = 0; i < amounts.size(); ++i)
        ingredients.push_back(json{{"Amt", amounts[i]}, {"Item", static_cast<int>(i)}, {"rID", 42}});
    const fs::path path = cookbook("family.rcp", OldLayout::V10, {json{{"Name", "Soup"}, {"rID", 42}}}, ingredients);
    run(path);
    std::vector<std::string> stored;
    for (const auto& row : zestrelDump(path.string(), "Ingredient")) stored.push_back(json::parse(row)["Amount"]);
    EXPECT_EQ(stored, (std::vector<std::string>{"1.5", "", "2 cups", "1.5", "", "2 cups", "0.25", "1 1/2 cups finely ch",
                                                "1 1/2 cups finely ch"}));
    const std::string list = textFile(program_ / "Backup" / "family_backup_changes.txt");
    const auto count = [&](const std::string& what) {
        std::size_t found = 0;
        for (auto at = list.find(what); at != std::string::npos; at = list.find(what, at + 1)) ++found;
        return found;
    };
    EXPECT_EQ(count("amount \"1*\" emptied"), 2u);
    EXPECT_EQ(count("cut to 20 of 25 characters"), 2u);
    EXPECT_EQ(listLines(list).size(), 4u);
}

// Whole numbers bound for text columns become their digits, sign and all; a missing one stays
// Null; none of that is a change.
TEST_F(ValueChangesList, WholeNumbersBecomeTheirDigits) {
    const std::vector<json> items{-12, 12345, nullptr, 0};
    std::vector<json> ingredients;
    for (const auto& item : items) ingredients.push_back(json{{"Amt", "1"}, {"Item", item}, {"rID", -7}});
    const fs::path path =
        cookbook("family.rcp", OldLayout::V10, {json{{"Name", "Soup"}, {"rID", -7}}}, ingredients);
    run(path);
    EXPECT_FALSE(fs::exists(program_ / "Backup" / "family_backup_changes.txt"));
    std::vector<json> stored;
    for (const auto& row : zestrelDump(path.string(), "Ingredient")) {
        stored.push_back(json::parse(row)["ItemNo"]);
        EXPECT_EQ(json::parse(row)["rID"], "-7");
    }
    EXPECT_EQ(stored, (std::vector<json>{"-12", "12345", nullptr, "0"}));
    EXPECT_EQ(json::parse(zestrelDump(path.string(), "Recipe")[0])["rID"], "-7");
}

// A list left from an earlier backup of the same name is never overwritten: the backup takes the
// next free name, and its list goes beside it.
TEST_F(ValueChangesList, ALeftoverListKeepsItsNameAndTheBackupTakesTheNext) {
    fs::create_directories(program_ / "Backup");
    std::ofstream(program_ / "Backup" / "family_backup_changes.txt") << "an earlier list";
    run(cookbook("family.rcp", OldLayout::V11, {json{{"Serving", "12 servings"}, {"rID", "1"}}}, {}));
    EXPECT_EQ(textOf(program_ / "Backup" / "family_backup_changes.txt"), "an earlier list");
    EXPECT_TRUE(fs::exists(program_ / "Backup" / "family_backup_2.rcp"));
    EXPECT_TRUE(fs::exists(program_ / "Backup" / "family_backup_2_changes.txt"));
}

TEST_F(ValueChangesList, ADryRunCopiesEverythingAndChangesNoFile) {
    const fs::path path = cookbook("family.rcp", OldLayout::V11, {json{{"Serving", "12 servings"}, {"rID", "1"}}},
                                   {json{{"Amt", "a heaped handful of it"}, {"rID", "1"}}});
    const std::string original = bytesOf(path);
    frmMain form(view_);
    form.setDryRun(true);
    view_.dialogAnswers.push_back(path.u16string());
    form.cmdOpen_Click();
    form.cmdUp_Click();
    ASSERT_EQ(view_.messages().size(), 1u);
    EXPECT_EQ(view_.messages()[0].number, static_cast<int>(platform::MsgIcon::Information));
    EXPECT_NE(text::toUtf8(view_.messages()[0].text).find("2 values would be shortened"), std::string::npos);
    EXPECT_EQ(form.valueChanges().size(), 2u);
    const std::string list = form.valueChanges().render(path, {});
    EXPECT_EQ(list.rfind("Values an upgrade would change\n", 0), 0u) << list;
    EXPECT_NE(list.find("\n2 values would change in 1 recipe.\n"), std::string::npos) << list;
    EXPECT_EQ(listLines(list),
              (std::vector<std::string>{"Recipe without a name (rID \"1\"), Serving \u2192 Yield: would be cut to 5 of 11 "
                                        "characters, cut off: \"rvings\"",
                                        "Recipe without a name (rID \"1\"), ingredient without a number or name, Amt "
                                        "\u2192 Amount: would be cut to 20 of 22 characters, cut off: \"it\""}));
    EXPECT_EQ(bytesOf(path), original);
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
    EXPECT_TRUE(!fs::exists(program_ / "Backup") || fs::is_empty(program_ / "Backup"));
}

// The list follows the recipes in the natural order of their rIDs, each recipe's own row first,
// then its ingredients by number; each line names the recipe, the ingredient and the field as it
// was called and is called now. Its table for spreadsheets has the same rows. On Windows both are
// Windows text (a byte-order mark, CRLF line ends).
TEST_F(ValueChangesList, LinesFollowTheRecipesInNaturalOrderAndNameWhatTheOwnerKnows) {
    const auto recipe = [](const char* name, const char* rid) {
        return json{{"Name", name}, {"Serving", "12 servings"}, {"rID", rid}};
    };
    const auto ingredient = [](const char* recipeName, int item, const char* what, json change) {
        json row{{"Name", recipeName}, {"Item", item}, {"Ingred", what}, {"rID", recipeName == std::string("One") ? "R-1" : "R-2"}};
        row.update(change);
        return row;
    };
    const json longAmount{{"Amt", "a heaped handful of it"}};
    const fs::path path = cookbook("family.rcp", OldLayout::V11,
                                   {recipe("Ten", "R-10"), recipe("Two", "R-2"), recipe("One", "R-1")},
                                   {ingredient("Two", 10, "salt", longAmount), ingredient("Two", 2, "pepper", longAmount),
                                    ingredient("One", 1, "salt", json{{"Measure", std::string(82, 'm')}})});
    run(path);
    const fs::path listPath = program_ / "Backup" / "family_backup_changes.txt";
    const std::string list = textFile(listPath);
    const std::string cut = "cut to 5 of 11 characters, cut off: \"rvings\"";
    const std::string handful = "Amt \u2192 Amount: cut to 20 of 22 characters, cut off: \"it\"";
    EXPECT_EQ(listLines(list),
              (std::vector<std::string>{
                  "Recipe \"One\" (rID \"R-1\"), Serving \u2192 Yield: " + cut,
                  "Recipe \"One\" (rID \"R-1\"), ingredient 1 \"salt\", Measure: cut to 80 of 82 characters, cut off: "
                  "\"mm\"",
                  "Recipe \"Two\" (rID \"R-2\"), Serving \u2192 Yield: " + cut,
                  "Recipe \"Two\" (rID \"R-2\"), ingredient 2 \"pepper\", " + handful,
                  "Recipe \"Two\" (rID \"R-2\"), ingredient 10 \"salt\", " + handful,
                  "Recipe \"Ten\" (rID \"R-10\"), Serving \u2192 Yield: " + cut}))
        << list;
    EXPECT_NE(list.find("6 values changed in 3 recipes."), std::string::npos) << list;
    const fs::path tablePath = upgrade::changeTablePathFor(program_ / "Backup" / "family_backup.rcp");
    const std::string table = textFile(tablePath);
    std::vector<std::string> rows;
    std::istringstream in(table);
    for (std::string row; std::getline(in, row);) rows.push_back(row);
    ASSERT_EQ(rows.size(), 7u) << table;
    const std::string bom = "\xEF\xBB\xBF";
#ifdef _WIN32
    const bool windowsText = true;
#else
    const bool windowsText = false;
#endif
    EXPECT_EQ(rows[0], "rID\tRecipe\tItem\tIngredient\tField before\tField now\tChange");
    EXPECT_EQ(rows[2], "R-1\tOne\t1\tsalt\tMeasure\tMeasure\tcut to 80 of 82 characters, cut off: \"mm\"");
    EXPECT_EQ(rows[5], "R-2\tTwo\t10\tsalt\tAmt\tAmount\tcut to 20 of 22 characters, cut off: \"it\"");
    for (const std::string& file : {textOf(listPath), textOf(tablePath)}) {
        EXPECT_EQ(file.rfind(bom, 0) == 0, windowsText);
        EXPECT_EQ(file.find("\r\n") != std::string::npos, windowsText);
        EXPECT_EQ(std::count(file.begin(), file.end(), '\r') == std::count(file.begin(), file.end(), '\n'), windowsText);
    }
}

// The list names the change as the owner needs it: what was replaced by what, how often, and what
// a cut took away.
TEST(ValueChangeLines, SayWhatChanged) {
    upgrade::ValueChange change;
    change.table = u"Recipe";
    change.column = u"Name";
    change.rid = u"\"R-1\"";
    change.replaced = {{u"\u0105", u'a', 2}, {u"\U0001F370", u'?', 1}};
    change.cut = true;
    change.kept = 5;
    change.length = 8;
    change.cutOff = u"abc";
    EXPECT_EQ(upgrade::describe(change),
              "characters replaced: \"\u0105\" by \"a\" (2 times), \"\U0001F370\" by \"?\"; cut to 5 of 8 characters, "
              "cut off: \"abc\"");
    upgrade::ValueChanges changes;
    changes.add(change);
    const std::string list = changes.render("/home/ann/family.rcp", "/p/Backup/family_backup.rcp");
    EXPECT_NE(list.find("Western European character set; letters outside it are replaced by the nearest one, or by "
                        "'?': 1 value.\nSome fields of the new cookbook hold fewer characters than the old ones; a longer "
                        "text is cut to fit, and its line below shows the part cut off: 1 value.\n1 value changed in 1 "
                        "recipe.\n\n"),
              std::string::npos) << list;
    EXPECT_EQ(list.find("amount"), std::string::npos) << "a reason that changed no value: " << list;
    EXPECT_EQ(listLines(list).size(), 1u);
    // A line break in a value stays inside its quotes: it never starts a line of its own.
    upgrade::ValueChange amount;
    amount.amountEmptied = true;
    amount.amountTooLong = true;
    amount.amount = u"1234567890123456789012\nRecipe.Name (rID \"1\"): cut";
    EXPECT_EQ(upgrade::describe(amount), "amount \"1234567890123456789012\\nRecipe.Name (rID \\\"1\\\"): cut\" emptied (too "
                                         "long for its field: cut, it would read as another number)");
    // So does one in the row's rID.
    upgrade::ValueChange cut;
    cut.table = u"Ingredient";
    cut.column = u"Measure";
    cut.rid = u"\"99\nIngredient.Amount (rID \"1\"): forged\"";
    cut.cut = true;
    cut.kept = 1;
    cut.length = 2;
    cut.cutOff = u"b";
    upgrade::ValueChanges forged;
    forged.add(cut);
    const std::string forgedList = forged.render("/home/ann/family.rcp", "/p/Backup/family_backup.rcp");
    EXPECT_NE(forgedList.find("No recipe (rID \"99\\nIngredient.Amount (rID \\\"1\\\"): forged\"), ingredient "
                              "without a number or name, Measure: cut"),
              std::string::npos)
        << forgedList;
    EXPECT_EQ(listLines(forgedList).size(), 1u);
    EXPECT_EQ(upgrade::changeListPathFor("/p/Backup/family_backup_2.rcp"), fs::path("/p/Backup/family_backup_2_changes.txt"));
    EXPECT_EQ(upgrade::changeTablePathFor("/p/Backup/family_backup_2.rcp"), fs::path("/p/Backup/family_backup_2_changes.tsv"));
}

// Tabs and line breaks in a name stay inside their cell of the table: one change, one row of
// seven cells.
struct ListedValue {
    std::u16string text;
    std::string listed;
};

class ListValues : public ::testing::TestWithParam<ListedValue> {};

// A value is one field however its characters mix: plain, wide, paired and escaped runs in turn.
TEST_P(ListValues, AreOneEscapedUtf8Field) {
    std::string out = "<";
    upgrade::appendListValue(out, GetParam().text);
    EXPECT_EQ(out, "<" + GetParam().listed);
    EXPECT_EQ(text::toUtf8(upgrade::listValue(GetParam().text)), GetParam().listed);
}

INSTANTIATE_TEST_SUITE_P(
    Mixed, ListValues,
    ::testing::Values(ListedValue{u"", ""}, ListedValue{u"flour", "flour"},
                      ListedValue{u"cr\u00e8me br\u00fbl\u00e9e", "cr\xc3\xa8me br\xc3\xbbl\xc3\xa9" "e"},
                      ListedValue{u"a\"b\\c\td\ne\rf", "a\\\"b\\\\c\\td\\ne\\rf"},
                      ListedValue{u"\x1b]52\u0007x\u007f\u0085", "\\x1B]52\\x07x\\x7F\\x85"},
                      ListedValue{u"\u00e9\n\u00e9", "\xc3\xa9\\n\xc3\xa9"},
                      ListedValue{u"\U0001F600 pie \U0001F967", "\xf0\x9f\x98\x80 pie \xf0\x9f\xa5\xa7"},
                      ListedValue{std::u16string(u"x") + char16_t(0xD800) + u"y", "x\xef\xbf\xbdy"},
                      ListedValue{u"\u20ac\"", "\xe2\x82\xac\\\""}));

TEST(ValueChangeLines, ATableCellHoldsItsValueWhole) {
    upgrade::ValueChange change;
    change.table = u"Recipe";
    change.column = u"Yield";
    change.sourceColumn = u"Serving";
    change.rid = u"\"R\t1\"";
    change.recipe = u"Soup\twith\ttabs\nRecipe \"forged\"";
    change.cut = true;
    change.kept = 5;
    change.length = 6;
    change.cutOff = u"\t";
    upgrade::ValueChanges changes;
    changes.add(change);
    std::string table;
    changes.writeTableTo([&](std::string_view piece) { table += piece; });
    const auto rows = splitLines(table);
    ASSERT_EQ(rows.size(), 2u) << table;
    EXPECT_EQ(rows[1], "R\\t1\tSoup\\twith\\ttabs\\nRecipe \\\"forged\\\"\t\t\tServing\tYield\tcut to 5 of 6 characters, "
                       "cut off: \"\\t\"");
    EXPECT_EQ(std::count(rows[1].begin(), rows[1].end(), '\t'), 6);
}

// Recipes are counted as the list is read, not kept in memory: each rID as written counts once,
// however its rows interleave with those of rIDs that sort alike (R01 and R1, R1 and r1).
TEST(ValueChangeLines, EachRecipeWithAChangeIsCountedOnceAndItsRowsStayTogether) {
    upgrade::ValueChanges changes;
    const auto cut = [&](const char16_t* table, std::u16string rid, const char16_t* item) {
        upgrade::ValueChange change;
        change.table = table;
        change.column = u"Name";
        change.rid = u"\"" + rid + u"\"";
        if (*item) change.item = item;
        change.cut = true;
        change.kept = 1;
        change.length = 2;
        change.cutOff = u"x";
        changes.add(change);
    };
    for (const char16_t* rid : {u"R1", u"R01", u"r1", u"R2"}) changes.addRecipe(u"\"" + std::u16string(rid) + u"\"", rid);
    cut(u"Ingredient", u"R1", u"2");
    cut(u"Ingredient", u"R01", u"1");
    cut(u"Recipe", u"r1", u"");
    cut(u"Ingredient", u"R01", u"3");
    cut(u"Recipe", u"R1", u"");
    cut(u"Ingredient", u"R2", u"1");
    EXPECT_EQ(changes.recipes(), 4u);
    std::vector<std::string> rids;
    for (const auto& line : splitLines(changes.render("c.rcp", "b.rcp")))
        if (const auto at = line.find("(rID \""); at != std::string::npos)
            rids.push_back(line.substr(at + 6, line.find('"', at + 6) - at - 6));
    EXPECT_EQ(rids, (std::vector<std::string>{"R01", "R01", "r1", "R1", "R1", "R2"}));
    changes.keepCountsOnly();
    EXPECT_EQ(changes.recipes(), 4u);
    EXPECT_EQ(changes.size(), 6u);
}

// A list far larger than a sorted batch, made on its thread and spilled to a file, reads as one
// held in memory; a rename's reasons are its own copy, read long after the rename is gone.
class SpilledList : public ::testing::Test {
protected:
    void SetUp() override { dir_ = makeTempDir("spilled-list"); }
    void TearDown() override {
        platform::faults::disarm();
        fs::remove_all(dir_);
    }
    static upgrade::ValueChange cutChange(int n) {
        upgrade::ValueChange change;
        change.table = u"Ingredient";
        change.column = u"Ingredient";
        change.rid = u"\"R" + text::fromUtf8(std::to_string((n * 7919) % 5000)) + u"\"";
        change.item = text::fromUtf8(std::to_string(n % 13));
        change.cut = true;
        change.kept = 5;
        change.length = 65;
        change.cutOff = std::u16string(60, static_cast<char16_t>(u'a' + n % 26));
        return change;
    }
    fs::path dir_;
};

TEST_F(SpilledList, ReadsAsAListHeldInMemory) {
    upgrade::ValueChanges spilled;
    upgrade::ValueChanges held;
    spilled.spillTo(dir_ / "spill");
    for (int n = 0; n < 20000; ++n) {
        spilled.add(cutChange(n));
        held.add(cutChange(n));
        if (n % 5000 != 0) continue;
        const auto rename = std::make_unique<upgrade::RidRename>(upgrade::RidRename{u"Zur", u"Soup", u"Zur~2", u"\u017bur", u"Stew", u"Zur"});
        upgrade::ValueChange renamed = cutChange(n);
        renamed.renamed = rename.get();
        spilled.add(renamed);
        held.add(renamed);
    }
    ASSERT_GT(fs::file_size(dir_ / "spill"), 2u << 20) << "spilled in several batches";
    const std::string list = spilled.render("c.rcp", "b.rcp");
    EXPECT_EQ(list, held.render("c.rcp", "b.rcp"));
    EXPECT_NE(list.find("rID \"Zur\" became \"Zur~2\" with its recipe \"Soup\""), std::string::npos);
    EXPECT_EQ(spilled.size(), 20004u);
}

TEST_F(SpilledList, ASpillThatCannotBeWrittenFailsTheList) {
    upgrade::ValueChanges changes;
    changes.spillTo(dir_ / "spill");
    platform::faults::arm(1);  // the first write of a sorted batch
    EXPECT_THROW(
        {
            for (int n = 0; n < 20000; ++n) changes.add(cutChange(n));
            changes.settle();
        },
        platform::FileError);
    platform::faults::disarm();
    EXPECT_NO_THROW(changes.clear());
}

}  // namespace
}  // namespace zestrel::test
