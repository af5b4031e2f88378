#include "store/dao/database.h"

#include "store/dao/sort_order.h"
#include "store/dao/sql_source.h"
#include "store/jet/failure.h"
#include "text/utf8.h"

namespace zestrel::dao {

Database::Database(std::shared_ptr<jet::DatabaseFile> file)
    : path_(file->path()), state_(std::make_shared<DatabaseState>(DatabaseState{std::move(file), true})) {}

Database::~Database() {
    if (!state_->open) return;
    try {
        Close();
    } catch (const std::exception&) {
        // Released without an explicit close: nothing is left to report to.
    }
}

void Database::ensureOpen() const {
    if (!state_->open)
        throw Failure(failure::kDatabaseClosed, "Object invalid or no longer set: the database is closed.");
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
    const RecordSource parsed = type == dbOpenTable ? RecordSource{source, std::nullopt} : parseRecordSource(source);
    auto& file = *state_->file;
    auto table = file.tableDefinition(parsed.table);
    if (!parsed.orderBy) {
        auto rows = file.rowLocations(table);
        return std::make_unique<Recordset>(state_, std::move(table), std::move(rows), type);
    }
    auto rows = sortedLocations(file, table, columnOf(table, *parsed.orderBy), sortSpill_);  // 3265 when missing
    return std::make_unique<Recordset>(state_, std::move(table), std::move(rows), type);
}

std::vector<std::u16string> Database::tableNames(bool includeSystem) {
    std::vector<std::u16string> names;
    for (const auto& entry : file().catalog().tables(includeSystem)) names.push_back(entry.name);
    return names;
}

std::shared_ptr<TableDef> Database::tableDef(const std::u16string& name) {
    auto& f = file();
    const auto table = f.tableDefinition(name);
    auto def = std::make_shared<TableDef>(table.name);
    for (const auto& column : table.columns)
        def->Fields().Append(std::make_shared<Field>(columnInfoOf(column, f.format().version)));
    return def;
}

std::shared_ptr<TableDef> Database::CreateTableDef(const std::u16string& name) {
    ensureOpen();
    return std::make_shared<TableDef>(name);
}

void Database::Close() {
    ensureOpen();
    state_->open = false;
    auto file = std::move(state_->file);
    // The last database on a file closes it; the others leave it open for them, made durable.
    if (file.use_count() == 1) file->close();
    else file->flushAndSync();
}

namespace {


jet::NewColumn newColumnOf(const Field& field) {
    jet::NewColumn column;
    column.spec.name = field.Name();
    column.spec.type = static_cast<jet::ColumnType>(field.Type());
    column.spec.size = static_cast<std::uint16_t>(field.Size());
    const bool fixed = jet::fixedSizeOf(column.spec.type) > 0 || column.spec.type == jet::ColumnType::Boolean;
    column.spec.flags = static_cast<std::uint8_t>(jet::kColumnCanBeNull | (fixed ? jet::kColumnFixed : 0));
    column.allowZeroLength = field.AllowZeroLength() &&
                             (field.Type() == type::dbText || field.Type() == type::dbMemo);
    return column;
}

}  // namespace

void TableDefList::Append(const std::shared_ptr<TableDef>& table) {
    auto& file = database_.file();
    if (table->Fields().Count() == 0)
        throw Failure(failure::kNoFieldDefined, "No field defined: cannot append table '" + text::toUtf8(table->Name()) + "'.");
    std::vector<jet::NewColumn> columns;
    for (const auto& field : table->Fields().items()) columns.push_back(newColumnOf(*field));
    file.createTable(table->Name(), columns);
}

std::size_t TableDefList::Count() const { return database_.tableNames(true).size(); }

}  // namespace zestrel::dao
