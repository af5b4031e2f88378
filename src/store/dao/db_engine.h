// The database engine object: one per process, created on first use and kept
// until the process ends; every database is opened through it.
#pragma once

#include <filesystem>
#include <memory>

#include "store/dao/database.h"

namespace zestrel::dao {

class DBEngine {
public:
    static DBEngine& Instance();

    // Opens an existing database. It is read now and written only when a write is asked for.
    std::shared_ptr<Database> OpenDatabase(const std::filesystem::path& path);

private:
    DBEngine() = default;
};

}  // namespace zestrel::dao
