#include "store/dao/database.h"

#include "store/dao/sql_source.h"
#include "store/jet/failure.h"

namespace zestrel::dao {

Database::Database(std::shared_ptr<jet::DatabaseFile> file)
    : path_(file->path()), state_(std::make_shared<DatabaseState>(DatabaseState{std::move(file), true})) {}

void Database::ensureOpen() const {
    if (!state_->open) throw Failure(failure::kDatabaseClosed, "Object invalid or no longer set: the database is closed.");
}

jet::DatabaseFile& Database::file() {
    ensureOpen();
    return *state_->file;
}

const std::filesystem::path& Database::Name() const { return path_; }

std::unique_ptr<Recordset> Database::OpenRecordset(const std::u16string& source, int type) {
    ensureOpen();
    if (type != dbOpenTable && type != dbOpenDynaset && type != dbOpenSnapshot)
        throw Failure(failure::kInvalidArgument, "Invalid argument: recordset type " + std::to_string(type) + ".");
    const RecordSource parsed = parseRecordSource(source);
    auto& file = *state_->file;
    auto table = file.tableDefinition(parsed.table);
    auto rows = file.readRows(table);
    auto recordset = std::make_unique<Recordset>(state_, std::move(table), std::move(rows), type);
    if (parsed.orderBy) {
        const Field& key = recordset->Fields(*parsed.orderBy);  // 3265 when missing
        recordset->sortBy(key);
    }
    return recordset;
}

std::vector<std::u16string> Database::tableNames(bool includeSystem) {
    std::vector<std::u16string> names;
    for (const auto& entry : file().catalog().tables(includeSystem)) names.push_back(entry.name);
    return names;
}

TableDef Database::tableDef(const std::u16string& name) {
    auto& f = file();
    const auto table = f.tableDefinition(name);
    TableDef def(table.name);
    for (const auto& column : table.columns) def.fieldList().emplace_back(columnInfoOf(column, f.format().version));
    return def;
}

void Database::Close() {
    ensureOpen();
    state_->open = false;
    state_->file.reset();
}

}  // namespace zestrel::dao
