#include "store/dao/recordset.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "store/dao/value_conversion.h"
#include "store/jet/failure.h"
#include "store/jet/jet4_text.h"
#include "store/jet/long_value.h"
#include "store/jet/sort_key.h"
#include "text/utf8.h"

namespace zestrel::dao {

namespace {


int daoTypeOf(jet::ColumnType type) {
    return type == jet::ColumnType::Numeric ? type::dbDecimal : static_cast<int>(type);
}

long attributesOf(const jet::ColumnDefinition& column) {
    long attributes = column.isFixed() ? dbFixedField : dbVariableField;
    if (column.flags & jet::kColumnAutoLong) attributes |= dbAutoIncrField;
    return attributes;
}

// Exact equality, compared in line: names are a few characters long, and the paths that look a
// field up for every row pay for a library call on each.
bool sameName(const std::u16string& a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) return false;
    return true;
}

long sizeOf(const jet::ColumnDefinition& column, jet::JetVersion version) {
    if (column.type == jet::ColumnType::Text && version == jet::JetVersion::Jet4) return column.size / 2;
    if (jet::isLongValue(column.type)) return 0;
    if (column.type == jet::ColumnType::Boolean) return 1;
    return jet::fixedSizeOf(column.type) ? jet::fixedSizeOf(column.type) : column.size;
}

}  // namespace

ColumnInfo columnInfoOf(const jet::ColumnDefinition& column, jet::JetVersion version) {
    return ColumnInfo{column.name, daoTypeOf(column.type), sizeOf(column, version), column.allowZeroLength,
                      attributesOf(column)};
}

Recordset::Recordset(std::shared_ptr<DatabaseState> database, jet::TableDefinition table,
                     jet::RowList rows, int type)
    : database_(std::move(database)),
      table_(std::move(table)),
      locate_(table_, database_->file->format()),
      rows_(std::move(rows)),
      type_(type) {
    const auto version = database_->file->format().version;
    fields_.reserve(table_.columns.size());
    for (std::size_t i = 0; i < table_.columns.size(); ++i) {
        const auto& column = table_.columns[i];
        Field field(columnInfoOf(column, version));
        field.recordset_ = this;
        field.column_ = i;
        fields_.push_back(std::move(field));
    }
    for (std::size_t i = 0; i < fields_.size(); ++i) byName_.emplace(fields_[i].Name(), i);
    position_ = rows_.empty() ? -1 : 0;
}

void Recordset::failClosed() const {
    throw Failure(failure::kDatabaseClosed, "Object invalid or no longer set.");
}

void Recordset::failNoEdit() const {
    throw Failure(failure::kUpdateWithoutAddNewOrEdit,
                  "Update or CancelUpdate without AddNew or Edit on table '" + text::toUtf8(table_.name) + "'.");
}

void Recordset::failNoCurrentRecord() const {
    throw Failure(failure::kNoCurrentRecord, "No current record in table '" + text::toUtf8(table_.name) + "'.");
}

bool Recordset::BOF() const {
    ensureOpen();
    return position_ < 0 || rows_.empty();
}

bool Recordset::EOF_() const {
    ensureOpen();
    return position_ >= size() || rows_.empty();
}

void Recordset::MoveFirst() {
    ensureOpen();
    if (rows_.empty()) throw Failure(failure::kNoCurrentRecord, "No current record: the recordset is empty.");
    moveTo(0);
}

void Recordset::MoveNext() {
    ensureCurrent();
    moveTo(position_ + 1);
}

void Recordset::MoveLast() {
    ensureOpen();
    if (rows_.empty()) throw Failure(failure::kNoCurrentRecord, "No current record: the recordset is empty.");
    moveTo(size() - 1);
}

void Recordset::moveTo(long position) {
    currentAt_ = -1;  // a move reads the row afresh, with whatever changed since
    position_ = position;
}

long Recordset::RecordCount() const {
    ensureOpen();
    return size();
}

std::size_t columnOf(const jet::TableDefinition& table, std::u16string_view name) {
    const auto& columns = table.columns;
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].name == name) return i;
    const std::u16string text(name);
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (jet::equalsIgnoringCase(columns[i].name, text)) return i;
    throw Failure(failure::kItemNotFound, "Item not found in this collection: the table '" +
                                              text::toUtf8(table.name) + "' has no field '" + text::toUtf8(text) + "'.");
}

std::size_t Recordset::columnIndex(std::u16string_view name) const {
    ensureOpen();
    // Literal names lie a few bytes apart: a multiplicative hash spreads their addresses.
    const std::uint64_t address = reinterpret_cast<std::uintptr_t>(name.data());
    auto& guess = recent_[(address * 0x9E3779B97F4A7C15ull) >> 55];
    if (guess != 0 && sameName(fields_[guess - 1].Name(), name)) return guess - 1;
    const auto it = byName_.find(name);
    const std::size_t index = it != byName_.end() ? it->second : columnOf(table_, name);
    guess = static_cast<std::uint16_t>(index + 1);
    return index;
}

Field& Recordset::Fields(std::u16string_view name) { return fields_[columnIndex(name)]; }

void Recordset::ensureUpdatable() const {
    ensureOpen();
    if (type_ == dbOpenSnapshot)
        throw Failure(failure::kCannotUpdate, "Cannot update: the recordset on table '" + text::toUtf8(table_.name) + "' is read-only.");
}

void Recordset::AddNew() {
    ensureUpdatable();
    // Every column Empty: the buffer of the last row saved is kept, and only what it was given goes.
    if (buffer_.size() != fields_.size()) {
        buffer_.clear();
        buffer_.resize(fields_.size());
    }
    for (auto& value : buffer_)
        if (!value.isEmpty()) value = Variant();
    clearStoredTexts();
    editMode_ = EditMode::Adding;
}

void Recordset::Edit() {
    ensureUpdatable();
    ensureCurrent();
    buffer_.clear();
    for (std::size_t i = 0; i < fields_.size(); ++i) buffer_.emplace_back(currentValue(i));
    clearStoredTexts();
    editMode_ = EditMode::Editing;
}

void Recordset::clearStoredTexts() {
    givenStored_.assign(fields_.size(), nullptr);
    if (storedTexts_.size() != fields_.size()) storedTexts_.assign(fields_.size(), jet::Bytes());
}

Recordset::CollectRef Recordset::Collect(std::u16string_view name) { return CollectRef(*this, columnIndex(name)); }

Recordset::CollectRef& Recordset::CollectRef::operator=(const Variant& value) { return *this = Variant(value); }

Recordset::CollectRef& Recordset::CollectRef::operator=(Variant&& value) {
    owner_.ensureOpen();
    if (owner_.editMode_ == EditMode::None) owner_.failNoEdit();
    owner_.buffer_[column_] = std::move(value);
    owner_.givenStored_[column_] = nullptr;
    return *this;
}

Recordset::CollectRef& Recordset::CollectRef::operator=(const Field& field) {
    if (takeStoredText(field, std::numeric_limits<std::size_t>::max())) return *this;
    return *this = field.Value();
}

Recordset::CollectRef::operator Variant() const {
    if (owner_.editMode_ == EditMode::None) return Variant(owner_.currentValue(column_));
    const jet::Value* given = owner_.givenStored_[column_];
    if (!given) return owner_.buffer_[column_];
    if (const auto* text = std::get_if<jet::Bytes>(given); text && isTextColumn(owner_.table_.columns[column_]))
        return Variant(jet::codePageOf(owner_.database_->file->format()).decode(*text));
    return Variant(*given);
}

void Recordset::Update(int updateType, bool /*force: there is no other user to overwrite*/) {
    ensureOpen();
    if (updateType != dbUpdateRegular)
        throw Failure(failure::kInvalidArgument, "Invalid argument: update type " + std::to_string(updateType) + ".");
    if (editMode_ == EditMode::None)
        throw Failure(failure::kUpdateWithoutAddNewOrEdit,
                      "Update without AddNew or Edit on table '" + text::toUtf8(table_.name) + "'.");
    save();
    editMode_ = EditMode::None;
}

// The values already in their column's stored form are stored from where they lie in the buffer;
// only the others are converted, beside it. A failed Update so leaves the edit as it was.
void Recordset::save() {
    converted_.clear();
    converted_.reserve(buffer_.size());
    toStore_.resize(buffer_.size());
    remembered_.resize(buffer_.size());
    const std::size_t count = buffer_.size();
    const jet::Value* const* given = givenStored_.data();
    const jet::Value** store = toStore_.data();
    for (std::size_t i = 0; i < count; ++i) store[i] = given[i] ? given[i] : &storedFormOf(i);
    auto& file = *database_->file;
    if (editMode_ == EditMode::Adding) {
        rows_.push_back(file.insertRow(table_, locate_.layout(), toStore_).encode());
        if (position_ < 0) position_ = 0;
    } else {
        const auto at = static_cast<std::size_t>(position_);
        rows_.set(at, file.updateRow(table_, locate_.layout(), jet::RowPointer::decode(rows_[at]), toStore_).encode());
        currentAt_ = -1;  // the row reads as saved (it may have moved)
    }
}

namespace {

// A value cheap to keep and compare: Null, a number, a date, a Boolean or the zero-length text.
bool isSmall(const Variant& value) {
    switch (value.kind()) {
    case Variant::Kind::Null:
    case Variant::Kind::Boolean: case Variant::Kind::Byte: case Variant::Kind::Integer: case Variant::Kind::Long:
    case Variant::Kind::Currency: case Variant::Kind::Single: case Variant::Kind::Double: case Variant::Kind::Date:
        return true;
    case Variant::Kind::Text: return std::get<std::u16string>(value.value()).empty();
    default: return false;
    }
}

// The same value to the bit: 0 and -0 are equal numbers, but store (and read as text) apart.
bool sameBits(const Variant& a, const Variant& b) {
    if (a.kind() != b.kind()) return false;
    const jet::Value& x = a.value();
    const jet::Value& y = b.value();
    const auto bitsOf = [](double d) { return std::bit_cast<std::uint64_t>(d); };
    if (const auto* f = std::get_if<float>(&x))
        return std::bit_cast<std::uint32_t>(*f) == std::bit_cast<std::uint32_t>(std::get<float>(y));
    if (const auto* d = std::get_if<double>(&x)) return bitsOf(*d) == bitsOf(std::get<double>(y));
    if (const auto* t = std::get_if<jet::DateTime>(&x)) return bitsOf(t->days) == bitsOf(std::get<jet::DateTime>(y).days);
    return x == y;
}

}  // namespace

const jet::Value& Recordset::storedFormOf(std::size_t column) {
    const Variant& given = buffer_[column];
    RememberedForm& last = remembered_[column];
    if (!isSmall(given)) return storedFormFor(given, table_.columns[column], table_.name, converted_);
    if (last.valid && sameBits(last.given, given)) return last.stored;
    last.valid = false;
    last.stored = storedFormFor(given, table_.columns[column], table_.name, converted_);
    last.given = given;
    last.valid = true;
    return last.stored;
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

// The row is read each time the recordset comes to stand on it, and again after a write to the
// file, so that a change made through another recordset of the same file shows.
void Recordset::readCurrent() const {
    auto& file = *database_->file;
    currentAt_ = -1;
    const auto row = file.readRow(jet::RowPointer::decode(rows_[static_cast<std::size_t>(position_)]), currentRow_);
    file.guarded([&] { locate_(row, currentFields_); });
    currentReadAfterWrites_ = file.writesBegun();
    currentAt_ = position_;
}

jet::Value Recordset::currentValue(std::size_t column) const {
    loadCurrent();
    return database_->file->decodeField(currentFields_.at(column), table_.columns.at(column));
}

void Recordset::Close() {
    ensureOpen();
    closed_ = true;
    // What this recordset's reading brought into memory is cold now; the next one (a sort, say)
    // needs the room more. The pages stay readable.
    if (database_->file) database_->file->releaseReadPages();
}

}  // namespace zestrel::dao
