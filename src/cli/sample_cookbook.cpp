#include "cli/sample_cookbook.h"

#include "platform/file_system.h"

#include <functional>
#include <memory>
#include <random>

#include "store/dao/db_engine.h"
#include "store/jet/failure.h"
#include "text/utf8.h"

namespace zestrel::cli {

namespace {

using namespace dao::type;
using nlohmann::json;

const std::vector<OldColumn> kRecipe10{
    {u"Name", dbText, 255},   {u"Catagory", dbText, 255}, {u"MainIngr", dbText, 255}, {u"Style", dbText, 255},
    {u"Prep", dbMemo, 0},     {u"Serving", dbText, 50},   {u"comment", dbMemo, 0},    {u"Mark", dbBoolean, 1},
    {u"PrepTime", dbText, 255}, {u"Ingredient", dbMemo, 0}, {u"Pic", dbMemo, 0},      {u"Yield", dbText, 255},
    {u"rID", dbLong, 4}};
const std::vector<OldColumn> kRecipe11{
    {u"Name", dbText, 255},     {u"Category", dbText, 255},  {u"MainIngr", dbText, 255}, {u"Style", dbText, 255},
    {u"Prep", dbMemo, 0},       {u"Serving", dbText, 50},    {u"comment", dbMemo, 0},    {u"Mark", dbBoolean, 1},
    {u"PrepTime", dbText, 255}, {u"CookTime", dbText, 255},  {u"Ingredient", dbMemo, 0}, {u"Pic", dbMemo, 0},
    {u"Yield", dbText, 255},    {u"rID", dbText, 255},       {u"Cookware", dbText, 255}};
const std::vector<OldColumn> kIngred10{
    {u"Name", dbText, 255}, {u"Amt", dbText, 255}, {u"Messure", dbText, 255}, {u"Ingred", dbMemo, 0},
    {u"com", dbText, 255},  {u"Item", dbLong, 4},  {u"rID", dbLong, 4}};
const std::vector<OldColumn> kIngred11{
    {u"Name", dbText, 255}, {u"Amt", dbText, 255},  {u"Measure", dbText, 255}, {u"Ingred", dbMemo, 0},
    {u"com", dbText, 255},  {u"Item", dbText, 255}, {u"rID", dbText, 255},     {u"Weights", dbText, 255}};

void defineTable(dao::Database& db, const char16_t* name, const std::vector<OldColumn>& columns) {
    auto td = db.CreateTableDef(name);
    for (const auto& c : columns) {
        auto field = td->CreateField(c.name, c.type, c.size);
        field->AllowZeroLength(c.type == dbText || c.type == dbMemo);
        td->Fields().Append(field);
    }
    db.TableDefs().Append(td);
}

dao::Variant fromJson(const json& value) {
    if (value.is_null()) return dao::Variant::null();
    if (value.is_boolean()) return dao::Variant(value.get<bool>());
    if (value.is_number_integer()) return dao::Variant(static_cast<double>(value.get<std::int64_t>()));
    if (value.is_number()) return dao::Variant(value.get<double>());
    if (value.is_string()) return dao::Variant(text::fromUtf8(value.get<std::string>()));
    throw Failure(failure::kConversionError, "A row value must be null, a Boolean, a number or a text: " + value.dump());
}

using RowSource = std::function<std::optional<json>()>;

void addRows(dao::Database& db, const char16_t* table, const std::vector<OldColumn>& columns, const RowSource& next) {
    auto rs = db.OpenRecordset(table, dao::dbOpenDynaset);
    while (const auto row = next()) {
        if (!row->is_object()) throw Failure(failure::kConversionError, "A row must be a JSON object: " + row->dump());
        rs->AddNew();
        for (const auto& c : columns) {
            const std::string key = text::toUtf8(c.name);
            if (const auto it = row->find(key); it != row->end()) rs->Collect(c.name) = fromJson(*it);
        }
        rs->Update();
    }
    rs->Close();
}

RowSource fromVector(const std::vector<json>& rows) {
    return [&rows, i = std::size_t{0}]() mutable -> std::optional<json> {
        if (i == rows.size()) return std::nullopt;
        return rows[i++];
    };
}

RowSource fromFile(const std::filesystem::path& path) {
    auto reader = std::make_shared<JsonLinesReader>(path);
    return [reader] { return reader->next(); };
}

// Reads a whole row file once, so that a bad line fails before anything is written.
void checkRowFile(const std::filesystem::path& path) {
    if (path.empty()) return;
    JsonLinesReader reader(path);
    while (reader.next()) {
    }
}

class RowGenerator {
public:
    explicit RowGenerator(std::uint32_t seed) : rng_(seed) {}

    json recipe(OldLayout layout, int k) {
        static const char* categories[] = {"Breakfast", "Soup", "Main Course", "Dessert", "Bread"};
        json row{{"Name", "Recipe " + std::to_string(k)}, {"MainIngr", pickOf({"Flour", "Eggs", "Chicken", "Rice"})},
                 {"Style", pickOf({"French", "Italian", "Thai", "Home"})},
                 {"Prep", "Mix everything.\nBake for " + std::to_string(20 + pick(40)) + " minutes."},
                 {"Serving", std::to_string(2 + pick(8)) + " servings"}, {"comment", pick(3) ? json() : json("Family favourite")},
                 {"Mark", pick(2) == 0}, {"PrepTime", std::to_string(5 + pick(50)) + " min"},
                 {"Ingredient", "See the ingredient list."}, {"Pic", pick(4) ? json("") : json("pictures/recipe.jpg")},
                 {"Yield", "portions"}};
        row[layout == OldLayout::V10 ? "Catagory" : "Category"] = categories[pick(5)];
        if (layout == OldLayout::V10) {
            row["rID"] = k;
        } else {
            row["rID"] = std::to_string(k);
            row["CookTime"] = std::to_string(10 + pick(90)) + " min";
            row["Cookware"] = pickOf({"Oven", "Pan", "Pot", ""});
        }
        return row;
    }

    json ingredient(OldLayout layout, int k, int item) {
        static const char* amounts[] = {"1", "2", "1 1/2", "3/4", "0.5", "2 ", "1 cup", "1/2 cup", "1*", "", "a pinch"};
        json row{{"Name", "Recipe " + std::to_string(k)}, {"Amt", amounts[pick(11)]},
                 {"Ingred", pickOf({"flour", "sugar", "butter", "milk", "eggs", "salt"})},
                 {"com", pick(3) ? json("") : json("at room temperature")}};
        row[layout == OldLayout::V10 ? "Messure" : "Measure"] = pickOf({"cup", "tbsp", "tsp", "g", ""});
        if (layout == OldLayout::V10) {
            row["Item"] = item;
            row["rID"] = k;
        } else {
            row["Item"] = std::to_string(item);
            row["rID"] = std::to_string(k);
            row["Weights"] = "";
        }
        return row;
    }

    // Recipes 1..count, one a call.
    RowSource recipes(OldLayout layout, int count) {
        return [this, layout, count, k = 0]() mutable -> std::optional<json> {
            if (k == count) return std::nullopt;
            return recipe(layout, ++k);
        };
    }

    // For each recipe 1..recipes, its ingredient rows 1..perRecipe, one a call.
    RowSource ingredients(OldLayout layout, int recipes, int perRecipe) {
        return [this, layout, recipes, perRecipe, k = 1, item = 0]() mutable -> std::optional<json> {
            if (perRecipe <= 0) return std::nullopt;
            if (++item > perRecipe) {
                item = 1;
                ++k;
            }
            if (k > recipes) return std::nullopt;
            return ingredient(layout, k, item);
        };
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    std::string pickOf(std::initializer_list<const char*> choices) {
        return *(choices.begin() + pick(static_cast<int>(choices.size())));
    }
    std::mt19937 rng_;
};

}  // namespace

const std::vector<OldColumn>& oldRecipeColumns(OldLayout layout) { return layout == OldLayout::V10 ? kRecipe10 : kRecipe11; }
const std::vector<OldColumn>& oldIngredientColumns(OldLayout layout) {
    return layout == OldLayout::V10 ? kIngred10 : kIngred11;
}

void writeSampleCookbook(const std::filesystem::path& path, const SampleOptions& options) {
    checkRowFile(options.recipeRowsFile);
    checkRowFile(options.ingredientRowsFile);
    RowGenerator generate(options.seed);
    // Generated recipes come first from the one generator, then the ingredients, as before.
    const RowSource recipes = options.recipeRows            ? fromVector(*options.recipeRows)
                              : !options.recipeRowsFile.empty() ? fromFile(options.recipeRowsFile)
                                                            : generate.recipes(options.layout, options.recipes);
    const RowSource ingredients = options.ingredientRows ? fromVector(*options.ingredientRows)
                                  : !options.ingredientRowsFile.empty()
                                      ? fromFile(options.ingredientRowsFile)
                                      : generate.ingredients(options.layout, options.recipes, options.ingredientsPerRecipe);
    auto db = dao::DBEngine::Instance().CreateDatabase(path, dao::dbLangGeneral, dao::dbVersion30);
    // A cookbook that could not be written whole is not left behind half written.
    try {
        defineTable(*db, u"Recipe", oldRecipeColumns(options.layout));
        defineTable(*db, u"Ingred", oldIngredientColumns(options.layout));
        addRows(*db, u"Recipe", oldRecipeColumns(options.layout), recipes);
        addRows(*db, u"Ingred", oldIngredientColumns(options.layout), ingredients);
        if (options.layout == OldLayout::V11) {
            const std::vector<OldColumn> version{{u"Version", dbText, 10}};
            defineTable(*db, u"Version", version);
            const std::vector<json> versionRow{json{{"Version", "1.1"}}};
            addRows(*db, u"Version", version, fromVector(versionRow));
        }
        db->Close();
    } catch (...) {
        db.reset();  // closed first: Windows deletes no file held open
        platform::discardFile(path);
        throw;
    }
}

std::vector<json> readJsonLines(const std::filesystem::path& path) {
    JsonLinesReader reader(path);
    std::vector<json> rows;
    while (auto row = reader.next()) rows.push_back(std::move(*row));
    return rows;
}

JsonLinesReader::JsonLinesReader(const std::filesystem::path& path) : path_(path), in_(path) {
    if (!in_) throw Failure(failure::kFileNotFound, "Could not find file '" + path.string() + "'.");
}

std::optional<json> JsonLinesReader::next() {
    std::string line;
    while (std::getline(in_, line)) {
        ++line_;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        try {
            return json::parse(line);
        } catch (const json::parse_error& e) {
            throw Failure(failure::kSyntaxError, path_.string() + " line " + std::to_string(line_) + ": " + e.what());
        }
    }
    return std::nullopt;
}

}  // namespace zestrel::cli
