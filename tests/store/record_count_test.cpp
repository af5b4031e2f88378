// GetRecCount: exact counts of Recipe and Ingred, each call starting from 0, and
// after a failure the counts it had stored stay while the rest are 0, with one
// warning box titled "Get Record Count".
#include "text/utf8.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using cli::OldLayout;

std::vector<json> rows(int n, bool recipe) {
    std::vector<json> out;
    for (int k = 1; k <= n; ++k)
        out.push_back(recipe ? json{{"Name", "R"}, {"rID", k}, {"Mark", false}} : json{{"Amt", "1"}, {"rID", 1}});
    return out;
}

struct CountCase {
    const char* name;
    int recipes;
    int ingredients;
};

class RecordCount : public UpgradeTest, public ::testing::WithParamInterface<CountCase> {};

TEST_P(RecordCount, IsExactAndTheSameTwiceInARow) {
    const CountCase& c = GetParam();
    const fs::path path = cookbook("family.rcp", OldLayout::V10, rows(c.recipes, true), rows(c.ingredients, false));
    frmMain form(view_);
    for (int call = 0; call < 2; ++call) {
        form.GetRecCount(path.u16string());
        EXPECT_EQ(form.lRecipeCount, c.recipes) << "call " << call;
        EXPECT_EQ(form.lIngredCount, c.ingredients) << "call " << call;
    }
    EXPECT_TRUE(view_.messages().empty());
    EXPECT_EQ(view_.eventsOf(ViewEvent::Kind::Yield).size(), 4u);  // two yields a call
}

INSTANTIATE_TEST_SUITE_P(Sizes, RecordCount,
                         ::testing::Values(CountCase{"Empty", 0, 0}, CountCase{"OneRecipe", 1, 0},
                                           CountCase{"Some", 3, 5}, CountCase{"ManyPages", 700, 1300}),
                         [](const auto& p) { return std::string(p.param.name); });

using RecordCountFailure = UpgradeTest;

TEST_F(RecordCountFailure, ACountThatFailsKeepsWhatWasStoredAndStartsFromZero) {
    const fs::path full = cookbook("full.rcp", OldLayout::V10, rows(3, true), rows(5, false));
    std::vector<std::u16string> recipe;
    for (const auto& column : cli::oldRecipeColumns(OldLayout::V10)) recipe.push_back(column.name);
    const fs::path noIngred = customCookbook("noingred.rcp", {{u"Recipe", recipe}});
    frmMain form(view_);
    form.GetRecCount(full.u16string());
    form.GetRecCount(noIngred.u16string());
    EXPECT_EQ(form.lRecipeCount, 1);  // the one row of the Recipe table, counted before Ingred failed
    EXPECT_EQ(form.lIngredCount, 0);  // not the 5 of the call before
    form.GetRecCount(full.u16string());
    form.GetRecCount((dir_ / "missing.rcp").u16string());
    EXPECT_EQ(form.lRecipeCount, 0);
    EXPECT_EQ(form.lIngredCount, 0);
    const auto messages = view_.messages();
    ASSERT_EQ(messages.size(), 2u);
    for (const auto& m : messages) {
        EXPECT_EQ(m.title, u"Get Record Count");
        EXPECT_EQ(m.number, static_cast<int>(platform::MsgIcon::Warning));
    }
    EXPECT_EQ(text::toUtf8(messages[0].text).rfind("3078 - ", 0), 0u);
    EXPECT_EQ(text::toUtf8(messages[1].text).rfind("3024 - ", 0), 0u);
}

}  // namespace
}  // namespace zestrel::test
