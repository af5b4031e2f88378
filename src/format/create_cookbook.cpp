#include "format/create_cookbook.h"

#include "format/cookbook_schema.h"
#include "platform/path_text.h"
#include "platform/form_view.h"
#include "store/dao/db_engine.h"
#include "store/db_function.h"
#include "store/failure_text.h"

namespace zestrel::dbFunction {

void createCookbookOrThrow(const std::u16string& path) {
    auto& engine = dao::DBEngine::Instance();  // created on first use
    dbCookbook = engine.CreateDatabase(platform::pathOfText(path), dao::dbLangGeneral, dao::dbVersion30);
    CreateRecipeTable();
    CreateIngredientTable();
    CreateVersionTable();
    dbCookbook->Close();
    dbCookbook.reset();
}

void CreateCookbook(const std::u16string& path) {
    try {
        createCookbookOrThrow(path);
    } catch (...) {
        // dbCookbook keeps what it held: nothing when the creation failed, the open database otherwise.
        platform::MsgBox(failureText(currentFailure()), platform::MsgIcon::Critical, u"Create Database");
    }
}

}  // namespace zestrel::dbFunction
