// An open database: recordsets over its tables, and Close.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "store/dao/recordset.h"
#include "store/dao/table_def.h"

namespace zestrel::dao {

class Database {
public:
    explicit Database(std::shared_ptr<jet::DatabaseFile> file);
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // source: a table name or "SELECT * FROM <table> ORDER BY <column>"; type: dbOpenDynaset or dbOpenSnapshot.
    // A missing table fails with 3078, a missing ORDER BY column with 3265, bad SQL with 3131.
    std::unique_ptr<Recordset> OpenRecordset(const std::u16string& source, int type = dbOpenDynaset);
    void Close();

    // The names of the tables, in catalog order; system tables only when asked for.
    std::vector<std::u16string> tableNames(bool includeSystem);
    // The definition of a stored table (3078 when there is none).
    TableDef tableDef(const std::u16string& name);

    const std::filesystem::path& Name() const;
    bool isOpen() const { return state_->open; }
    jet::DatabaseFile& file();

private:
    void ensureOpen() const;
    std::filesystem::path path_;
    std::shared_ptr<DatabaseState> state_;
};

}  // namespace zestrel::dao
