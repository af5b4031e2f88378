#include "format/cookbook_schema.h"

#include <memory>

#include "platform/form_view.h"
#include "store/dao/field.h"
#include "store/db_function.h"
#include "store/failure_text.h"
#include "zestrel_version.h"

namespace zestrel::dbFunction {

namespace {

using namespace dao::type;

// Defines one table from its layout: fields created first, then in slot order given
// AllowZeroLength where asked and appended, then the table appended.
void defineTable(const char16_t* name, const std::vector<ColumnLayout>& layout, bool memoAllowsZeroLength) {
    auto td = cookbook().CreateTableDef(name);
    std::vector<std::shared_ptr<dao::Field>> slots;
    for (const auto& column : layout) slots.push_back(td->CreateField(column.name, column.type, column.size));
    for (auto& field : slots) {
        if (field->Type() == dbText || (memoAllowsZeroLength && field->Type() == dbMemo)) field->AllowZeroLength(true);
        td->Fields().Append(field);
    }
    cookbook().TableDefs().Append(td);
}

void report(const Failure& f, const std::u16string& title) {
    platform::MsgBox(failureText(f), platform::MsgIcon::Critical, title);
}

void defineVersionTable() {
    auto td = cookbook().CreateTableDef(u"Version");
    auto field = td->CreateField(u"Version", dbText, 10);
    field->AllowZeroLength(true);
    // The attributes it is created with, plus the engine's variable-length flag (a 32-bit addition).
    field->Attributes(static_cast<long>(static_cast<std::int32_t>(field->Attributes()) + dao::dbVariableField));
    td->Fields().Append(field);
    cookbook().TableDefs().Append(td);
}

void writeVersionRow() {
    rsCookbook = cookbook().OpenRecordset(u"Version", dao::dbOpenDynaset);
    rsCookbook->AddNew();
    rsCookbook->Collect(u"Version") = dao::Variant(programVersionText());
    rsCookbook->Update(dao::dbUpdateRegular, false);
    rsCookbook->Close();
    rsCookbook.reset();
}

std::u16string decimal(int number) {
    const std::string digits = std::to_string(number);
    return {digits.begin(), digits.end()};
}

}  // namespace

const std::vector<ColumnLayout>& recipeColumns() {
    static const std::vector<ColumnLayout> columns{
        {u"Name", dbText, 255},        {u"Category", dbText, 255}, {u"MainIngredient", dbText, 255},
        {u"CuisineStyle", dbText, 255}, {u"Preparation", dbMemo, 0}, {u"Yield", dbText, 5},
        {u"Note", dbMemo, 0},          {u"Mark", dbBoolean, 1},    {u"PrepTime", dbText, 80},
        {u"CookTime", dbText, 80},     {u"Ingredients", dbMemo, 0}, {u"Picture", dbText, 255},
        {u"RecipeBy", dbText, 255},    {u"UserDefine1", dbText, 255}, {u"YieldUnit", dbText, 80},
        {u"rID", dbText, 50},          {u"Cookware", dbText, 255},
    };
    return columns;
}

const std::vector<ColumnLayout>& ingredientColumns() {
    static const std::vector<ColumnLayout> columns{
        {u"Amount", dbText, 20},       {u"Measure", dbText, 80}, {u"Ingredient", dbText, 255},
        {u"PrepComment", dbText, 255}, {u"Name", dbText, 255},   {u"ItemNo", dbText, 5},
        {u"rID", dbText, 50},          {u"Weights", dbText, 80}, {u"Link", dbLong, 4},
        {u"Factor", dbDouble, 8},      {u"MEID", dbLong, 4},     {u"Cost", dbCurrency, 8},
        {u"CostUnit", dbText, 50},
    };
    return columns;
}

std::u16string programVersionText() {
    return decimal(kVersionMajor) + u"." + decimal(kVersionMinor) + u"." + decimal(kVersionRevision);
}

void CreateRecipeTable() {
    try {
        defineTable(u"Recipe", recipeColumns(), true);
    } catch (...) {
        report(currentFailure(), u"Create Recipe Table");
    }
}

void CreateIngredientTable() {
    try {
        defineTable(u"Ingredient", ingredientColumns(), false);
    } catch (...) {
        report(currentFailure(), u"Create Ingredient Table");
    }
}

void CreateVersionTable() {
    std::optional<Failure> trapped;
    try {
        defineVersionTable();
    } catch (const Failure& f) {
        trapped = f;  // the row is written all the same
    }
    try {
        writeVersionRow();
    } catch (const Failure& f) {
        // Once, and only when nothing failed before, the row is tried again from the
        // opening of the table; a failure of that second try passes to the caller.
        if (trapped) throw;
        trapped = f;
        writeVersionRow();
    }
    if (trapped) report(*trapped, u"");
}

}  // namespace zestrel::dbFunction
