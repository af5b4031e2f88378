#include "store/dao/db_engine.h"

namespace zestrel::dao {

DBEngine& DBEngine::Instance() {
    static DBEngine engine;
    return engine;
}

std::shared_ptr<Database> DBEngine::OpenDatabase(const std::filesystem::path& path) {
    return std::make_shared<Database>(jet::DatabaseFile::open(path));
}

}  // namespace zestrel::dao
