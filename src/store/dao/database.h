// An open database: recordsets over its tables, and Close.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "store/dao/recordset.h"
#include "store/dao/sort_order.h"
#include "store/dao/table_def.h"

namespace zestrel::dao {

class Database;

// The TableDefs collection: appending a table definition writes the table.
class TableDefList {
public:
    explicit TableDefList(Database& database) : database_(database) {}
    // Writes the table: an existing name fails (3010), a definition without fields too (3264).
    void Append(const std::shared_ptr<TableDef>& table);
    std::size_t Count() const;

private:
    Database& database_;
};

class Database {
public:
    explicit Database(std::shared_ptr<jet::DatabaseFile> file);
    // Releasing the last reference closes the database, as Close does (failures are not reported).
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // source: a table name or "SELECT * FROM <table> ORDER BY <column>"; type: dbOpenDynaset or dbOpenSnapshot.
    // dbOpenTable takes a table name only, as it is (any name a table may have, no SQL, no brackets).
    // A missing table fails with 3078, a missing ORDER BY column with 3265, bad SQL with 3131.
    std::unique_ptr<Recordset> OpenRecordset(const std::u16string& source, int type = dbOpenDynaset);
    void Close();

    // A new table definition; it becomes a table when appended to TableDefs.
    std::shared_ptr<TableDef> CreateTableDef(const std::u16string& name);
    TableDefList& TableDefs() { return tableDefs_; }

    // The names of the tables, in catalog order; system tables only when asked for.
    std::vector<std::u16string> tableNames(bool includeSystem);
    // The definition of a stored table (3078 when there is none).
    std::shared_ptr<TableDef> tableDef(const std::u16string& name);

    const std::filesystem::path& Name() const;
    bool isOpen() const { return state_->open; }
    jet::DatabaseFile& file();

    // Where this database's sorts of many rows keep their sorted parts (sort_order.h); by default
    // none, and every sort is done in memory. A setting of this database alone.
    void spillSortsTo(SortSpill spill) { sortSpill_ = std::move(spill); }

private:
    void ensureOpen() const;
    std::filesystem::path path_;
    SortSpill sortSpill_;
    std::shared_ptr<DatabaseState> state_;
    TableDefList tableDefs_{*this};
};

}  // namespace zestrel::dao
