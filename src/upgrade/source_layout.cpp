#include "upgrade/source_layout.h"

#include <filesystem>
#include <vector>

#include "store/dao/db_engine.h"
#include "platform/path_text.h"
#include "store/failure_text.h"
#include "store/old_layout_check.h"
#include "upgrade/ingredient_columns.h"
#include "upgrade/recipe_columns.h"

namespace zestrel::upgrade {

namespace {

// The columns one table lacks of those a layout's copy reads from it, in the map's order.
std::vector<std::u16string> lackingColumns(dao::TableDef& table, const ColumnMap& map, Layout layout) {
    std::vector<std::u16string> lacking;
    for (const auto& mapping : map) {
        const ColumnRule& rule = layout == Layout::V10 ? mapping.fromLayout10 : mapping.fromLayout11;
        if (!rule.source) continue;
        try {
            table.Fields()(rule.source);
        } catch (const Failure&) {
            lacking.emplace_back(rule.source);
        }
    }
    return lacking;
}

std::u16string lackingText(const std::u16string& table, const std::vector<std::u16string>& columns) {
    if (columns.empty()) return u"";
    std::u16string text = u"table " + table + (columns.size() == 1 ? u" has no column " : u" has no columns ");
    for (std::size_t i = 0; i < columns.size(); ++i)
        text += (i == 0 ? u"" : i + 1 == columns.size() ? u" and " : u", ") + columns[i];
    return text;
}

// What the tables lack of one layout; empty when they hold every column its copy reads.
std::u16string lackingOf(dao::Database& database, Layout layout) {
    std::u16string recipe = lackingText(u"Recipe", lackingColumns(*database.tableDef(u"Recipe"), recipeColumnMap(), layout));
    std::u16string ingred =
        lackingText(u"Ingred", lackingColumns(*database.tableDef(u"Ingred"), ingredientColumnMap(), layout));
    if (recipe.empty() || ingred.empty()) return recipe + ingred;
    return recipe + u"; " + ingred;
}

// Tables that hold the columns of both layouts are taken as the marker says: no marker is 1.0;
// any other marker is 1.1, whose copy carries the more columns.
Layout chosenByMarker(const std::u16string& marker) { return marker.empty() ? Layout::V10 : Layout::V11; }

}  // namespace

std::u16string layoutName(Layout layout) { return layout == Layout::V10 ? u"1.0" : u"1.1"; }

SourceLayout sourceLayoutOf(const std::u16string& path, const std::u16string& marker) {
    std::u16string problem = dbFunction::oldLayoutProblem(path);
    if (!problem.empty()) return {std::nullopt, std::move(problem)};
    try {
        auto database = dao::DBEngine::Instance().OpenDatabase(platform::pathOfText(path));
        const std::u16string lacking10 = lackingOf(*database, Layout::V10);
        const std::u16string lacking11 = lackingOf(*database, Layout::V11);
        database->Close();
        if (lacking10.empty() && lacking11.empty()) return {chosenByMarker(marker), u""};
        if (lacking10.empty()) return {Layout::V10, u""};
        if (lacking11.empty()) return {Layout::V11, u""};
        return {std::nullopt, u"its tables are those of neither layout 1.0 (" + lacking10 + u") nor layout 1.1 (" +
                                  lacking11 + u")."};
    } catch (...) {
        return {std::nullopt, failureText(currentFailure())};
    }
}

}  // namespace zestrel::upgrade
