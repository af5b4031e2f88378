#include "store/old_layout_check.h"

#include <filesystem>
#include <vector>

#include "store/dao/db_engine.h"
#include "platform/path_text.h"
#include "store/failure_text.h"

namespace zestrel::dbFunction {

namespace {

constexpr const char16_t* kOldTables[] = {u"Recipe", u"Ingred"};

// The table is found as the upgrade itself finds it, by the engine's lookup of a table name.
bool holdsTable(dao::Database& database, const std::u16string& table) {
    try {
        database.tableDef(table);
        return true;
    } catch (const Failure&) {
        return false;
    }
}

std::u16string lackingTablesText(const std::vector<std::u16string>& lacking) {
    if (lacking.size() == 1) return u"it has no table " + lacking.front() + u".";
    return u"it has neither a table " + lacking[0] + u" nor a table " + lacking[1] + u".";
}

}  // namespace

std::u16string oldLayoutProblem(const std::u16string& path) {
    try {
        auto database = dao::DBEngine::Instance().OpenDatabase(platform::pathOfText(path));
        std::vector<std::u16string> lacking;
        for (const char16_t* table : kOldTables)
            if (!holdsTable(*database, table)) lacking.emplace_back(table);
        database->Close();
        return lacking.empty() ? std::u16string() : lackingTablesText(lacking);
    } catch (...) {
        return failureText(currentFailure());
    }
}

}  // namespace zestrel::dbFunction
