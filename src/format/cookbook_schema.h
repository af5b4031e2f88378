// Layout 1.3 of a cookbook: the tables Recipe, Ingredient and Version, column
// by column, and the three procedures of the dbFunction module that define
// them in the database dbCookbook holds open. Each reports its own failure in a
// message box and returns normally ("Create Recipe Table", "Create Ingredient
// Table"; CreateVersionTable's box carries the application title). The one
// exception: CreateVersionTable tries writing its row twice, and a failure of
// the second try passes to its caller.
#pragma once

#include <string>
#include <vector>

namespace zestrel::dbFunction {

struct ColumnLayout {
    const char16_t* name;
    int type;   // data type code
    long size;  // Text: characters
};

const std::vector<ColumnLayout>& recipeColumns();      // 17 columns
const std::vector<ColumnLayout>& ingredientColumns();  // 13 columns

// The program's version as the Version row of a new cookbook holds it: major.minor.revision.
std::u16string programVersionText();

void CreateRecipeTable();
void CreateIngredientTable();
void CreateVersionTable();

}  // namespace zestrel::dbFunction
