#include "upgrade/recipe_columns.h"

namespace zestrel::upgrade {

const ColumnMap& recipeColumnMap() {
    static const ColumnMap map{
        // target column       from layout 1.0              from layout 1.1
        {u"Name",              first(u"Name", 255),         first(u"Name", 255)},
        {u"Category",          first(u"Catagory", 255),     first(u"Category", 255)},
        {u"MainIngredient",    first(u"MainIngr", 255),     first(u"MainIngr", 255)},
        {u"CuisineStyle",      first(u"Style", 255),        first(u"Style", 255)},
        {u"Preparation",       asIs(u"Prep"),               asIs(u"Prep")},
        {u"Yield",             first(u"Serving", 5),        first(u"Serving", 5)},
        {u"Note",              asIs(u"comment"),            asIs(u"comment")},
        {u"Mark",              asIs(u"Mark"),               asIs(u"Mark")},
        {u"PrepTime",          first(u"PrepTime", 80),      first(u"PrepTime", 80)},
        {u"CookTime",          emptyText(),                 first(u"CookTime", 80)},
        {u"Ingredients",       asIs(u"Ingredient"),         asIs(u"Ingredient")},
        {u"Picture",           first(u"Pic", 255),          first(u"Pic", 255)},
        {u"RecipeBy",          emptyText(),                 emptyText()},
        {u"UserDefine1",       emptyText(),                 emptyText()},
        {u"YieldUnit",         first(u"Yield", 80),         first(u"Yield", 80)},
        {u"rID",               first(u"rID", 50),           asIs(u"rID")},
        {u"Cookware",          emptyText(),                 first(u"Cookware", 255)},
    };
    return map;
}

}  // namespace zestrel::upgrade
