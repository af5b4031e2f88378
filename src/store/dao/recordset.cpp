#include "store/dao/recordset.h"

#include <algorithm>

#include "store/dao/value_conversion.h"
#include "store/jet/failure.h"
#include "store/jet/sort_key.h"
#include "store/jet/text_codec.h"

namespace zestrel::dao {

namespace {

constexpr std::int32_t kReadOnly = 3027;

int daoTypeOf(jet::ColumnType type) {
    return type == jet::ColumnType::Numeric ? type::dbDecimal : static_cast<int>(type);
}

long attributesOf(const jet::ColumnDefinition& column) {
    long attributes = column.isFixed() ? dbFixedField : dbVariableField;
    if (column.flags & jet::kColumnAutoLong) attributes |= dbAutoIncrField;
    return attributes;
}

long sizeOf(const jet::ColumnDefinition& column, jet::JetVersion version) {
    if (column.type == jet::ColumnType::Text && version == jet::JetVersion::Jet4) return column.size / 2;
    if (jet::isLongValue(column.type)) return 0;
    if (column.type == jet::ColumnType::Boolean) return 1;
    return jet::fixedSizeOf(column.type) ? jet::fixedSizeOf(column.type) : column.size;
}

// A sortable rank of a value: null first, then by kind-specific order.
int compareValues(const jet::Value& a, const jet::Value& b) {
    if (jet::isNull(a) || jet::isNull(b)) return jet::isNull(a) == jet::isNull(b) ? 0 : (jet::isNull(a) ? -1 : 1);
    if (auto* ta = std::get_if<std::u16string>(&a)) {
        if (auto* tb = std::get_if<std::u16string>(&b)) return jet::compareGeneral(*ta, *tb);
    }
    if (auto* ba = std::get_if<jet::Bytes>(&a)) {
        if (auto* bb = std::get_if<jet::Bytes>(&b)) return *ba < *bb ? -1 : (*ba == *bb ? 0 : 1);
    }
    if (auto* ga = std::get_if<jet::Guid>(&a)) {
        if (auto* gb = std::get_if<jet::Guid>(&b)) return ga->bytes < gb->bytes ? -1 : (ga->bytes == gb->bytes ? 0 : 1);
    }
    if (auto* ca = std::get_if<jet::Currency>(&a)) {
        if (auto* cb = std::get_if<jet::Currency>(&b))
            return ca->tenThousandths < cb->tenThousandths ? -1 : (ca->tenThousandths == cb->tenThousandths ? 0 : 1);
    }
    const double x = Variant(a).toDouble();
    const double y = Variant(b).toDouble();
    return x < y ? -1 : (x > y ? 1 : 0);
}

}  // namespace

ColumnInfo columnInfoOf(const jet::ColumnDefinition& column, jet::JetVersion version) {
    return ColumnInfo{column.name, daoTypeOf(column.type), sizeOf(column, version), column.allowZeroLength,
                      attributesOf(column)};
}

void sortRows(std::vector<jet::StoredRow>& rows, std::size_t column) {
    std::stable_sort(rows.begin(), rows.end(), [column](const jet::StoredRow& a, const jet::StoredRow& b) {
        return compareValues(a.values[column], b.values[column]) < 0;
    });
}

Recordset::Recordset(std::shared_ptr<DatabaseState> database, jet::TableDefinition table,
                     std::vector<jet::StoredRow> rows, int type)
    : database_(std::move(database)), table_(std::move(table)), rows_(std::move(rows)), type_(type) {
    const auto version = database_->file->format().version;
    fields_.reserve(table_.columns.size());
    for (std::size_t i = 0; i < table_.columns.size(); ++i) {
        const auto& column = table_.columns[i];
        Field field(columnInfoOf(column, version));
        field.recordset_ = this;
        field.column_ = i;
        fields_.push_back(std::move(field));
    }
    position_ = rows_.empty() ? -1 : 0;
}

void Recordset::ensureOpen() const {
    if (closed_ || !database_->open) throw Failure(failure::kDatabaseClosed, "Object invalid or no longer set.");
}

void Recordset::ensureCurrent() const {
    ensureOpen();
    if (position_ < 0 || position_ >= static_cast<long>(rows_.size()))
        throw Failure(failure::kNoCurrentRecord, "No current record in table '" + jet::toUtf8(table_.name) + "'.");
}

bool Recordset::BOF() const {
    ensureOpen();
    return position_ < 0 || rows_.empty();
}

bool Recordset::EOF_() const {
    ensureOpen();
    return position_ >= static_cast<long>(rows_.size()) || rows_.empty();
}

void Recordset::MoveFirst() {
    ensureOpen();
    if (rows_.empty()) throw Failure(failure::kNoCurrentRecord, "No current record: the recordset is empty.");
    position_ = 0;
}

void Recordset::MoveNext() {
    ensureCurrent();
    ++position_;
}

void Recordset::MoveLast() {
    ensureOpen();
    if (rows_.empty()) throw Failure(failure::kNoCurrentRecord, "No current record: the recordset is empty.");
    position_ = static_cast<long>(rows_.size()) - 1;
}

long Recordset::RecordCount() const {
    ensureOpen();
    return static_cast<long>(rows_.size());
}

std::size_t Recordset::columnIndex(const std::u16string& name) const {
    ensureOpen();
    for (std::size_t i = 0; i < fields_.size(); ++i)
        if (fields_[i].Name() == name) return i;
    for (std::size_t i = 0; i < fields_.size(); ++i)
        if (jet::equalsIgnoringCase(fields_[i].Name(), name)) return i;
    throw Failure(failure::kItemNotFound, "Item not found in this collection: the table '" +
                                              jet::toUtf8(table_.name) + "' has no field '" + jet::toUtf8(name) + "'.");
}

Field& Recordset::Fields(const std::u16string& name) { return fields_[columnIndex(name)]; }

void Recordset::ensureUpdatable() const {
    ensureOpen();
    if (type_ == dbOpenSnapshot)
        throw Failure(kReadOnly, "Cannot update: the recordset on table '" + jet::toUtf8(table_.name) + "' is read-only.");
}

void Recordset::AddNew() {
    ensureUpdatable();
    buffer_.assign(fields_.size(), Variant());
    editMode_ = EditMode::Adding;
}

void Recordset::Edit() {
    ensureUpdatable();
    ensureCurrent();
    const auto& row = rows_[static_cast<std::size_t>(position_)];
    buffer_.clear();
    for (const auto& value : row.values) buffer_.emplace_back(value);
    editMode_ = EditMode::Editing;
}

Recordset::CollectRef Recordset::Collect(const std::u16string& name) { return CollectRef(*this, columnIndex(name)); }

Recordset::CollectRef& Recordset::CollectRef::operator=(const Variant& value) {
    owner_.ensureOpen();
    if (owner_.editMode_ == EditMode::None)
        throw Failure(failure::kUpdateWithoutAddNewOrEdit,
                      "Update or CancelUpdate without AddNew or Edit on table '" + jet::toUtf8(owner_.table_.name) + "'.");
    owner_.buffer_[column_] = value;
    return *this;
}

Recordset::CollectRef& Recordset::CollectRef::operator=(const Field& field) { return *this = field.Value(); }

Recordset::CollectRef::operator Variant() const {
    if (owner_.editMode_ != EditMode::None) return owner_.buffer_[column_];
    return Variant(owner_.currentValue(column_));
}

void Recordset::Update(int updateType, bool /*force: there is no other user to overwrite*/) {
    ensureOpen();
    if (updateType != dbUpdateRegular)
        throw Failure(failure::kInvalidArgument, "Invalid argument: update type " + std::to_string(updateType) + ".");
    if (editMode_ == EditMode::None)
        throw Failure(failure::kUpdateWithoutAddNewOrEdit,
                      "Update without AddNew or Edit on table '" + jet::toUtf8(table_.name) + "'.");
    std::vector<jet::Value> values;
    values.reserve(buffer_.size());
    for (std::size_t i = 0; i < buffer_.size(); ++i)
        values.push_back(convertForColumn(buffer_[i], table_.columns[i], table_.name));
    auto& file = *database_->file;
    if (editMode_ == EditMode::Adding) {
        const jet::RowPointer at = file.insertRow(table_, values);
        rows_.push_back({at, std::move(values)});
        if (position_ < 0) position_ = 0;
    } else {
        auto& row = rows_[static_cast<std::size_t>(position_)];
        row.location = file.updateRow(table_, row.location, values);
        row.values = std::move(values);
    }
    editMode_ = EditMode::None;
    buffer_.clear();
}

void Recordset::CancelUpdate() {
    ensureOpen();
    editMode_ = EditMode::None;
    buffer_.clear();
}

const std::vector<Field>& Recordset::fieldList() const {
    ensureOpen();
    return fields_;
}

const jet::Value& Recordset::currentValue(std::size_t column) const {
    ensureCurrent();
    return rows_[static_cast<std::size_t>(position_)].values.at(column);
}

void Recordset::sortBy(const Field& key) {
    ensureOpen();
    sortRows(rows_, key.column_);
    position_ = rows_.empty() ? -1 : 0;
}

void Recordset::Close() {
    ensureOpen();
    closed_ = true;
}

}  // namespace zestrel::dao
