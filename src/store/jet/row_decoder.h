// Decoding a stored row into column values.
//
// A row holds its column count, the fixed-length columns at the offsets the
// definition gives, the variable-length columns, their offset table (in Jet 3
// one byte each, with a jump table for rows over 256 bytes) and the null mask.
// Columns added after the row was written are null in it; deleted columns stay
// in the row and are skipped because the definition no longer names them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "store/jet/format.h"
#include "store/jet/page_file.h"
#include "store/jet/row_layout.h"
#include "store/jet/tdef_reader.h"
#include "store/jet/value.h"

namespace zestrel::jet {

// Where each column's bytes lie in a row; an absent span with isNull set means null.
struct FieldLocation {
    bool isNull = true;
    bool bit = false;  // Boolean columns keep their value in the null mask
    std::span<const std::uint8_t> bytes;
};

// Where each column lies in row after row of one table, into `fields` (its storage reused, so a
// reader going from row to row allocates nothing); each column's place is worked out once.
class RowLocator {
public:
    RowLocator(const TableDefinition& table, const Format& format);
    void operator()(std::span<const std::uint8_t> row, std::vector<FieldLocation>& fields) const;
    // Where the columns at `positions` lie in `row`, into those places of `fields` (sized for every
    // column), having checked every column as operator() does: what it refuses, this refuses.
    void locateSome(std::span<const std::uint8_t> row, std::span<const std::size_t> positions,
                    std::vector<FieldLocation>& fields) const;
    const RowLayout& layout() const { return layout_; }
    const Format& format() const { return format_; }

private:
    const Format& format_;
    RowLayout layout_;
    std::size_t fixedEnd_ = 0;  // where the last-ending fixed-length column ends
};

// Where one column (by position in the definition) lies in row after row of a table.
class ColumnLocator {
public:
    ColumnLocator(const TableDefinition& table, const Format& format, std::size_t column);
    FieldLocation operator()(std::span<const std::uint8_t> row) const;

private:
    const Format& format_;
    bool hasVariableColumns_;
    ColumnPlace place_;
};

Value decodeField(const FieldLocation& field, const ColumnDefinition& column, const Format& format, PageFile& pages);
// The value of a Byte, Integer or Long column, widened; none when it is null or of another type.
inline std::optional<std::int64_t> wholeNumberOf(const FieldLocation& field, const ColumnDefinition& column) {
    if (field.isNull) return std::nullopt;
    switch (column.type) {
    case ColumnType::Byte: return readU8(field.bytes, 0);
    case ColumnType::Integer: return static_cast<std::int16_t>(readU16(field.bytes, 0));
    case ColumnType::Long: return static_cast<std::int32_t>(readU32(field.bytes, 0));
    default: return std::nullopt;
    }
}

// Every value of a row of the table `locate` was made for.
std::vector<Value> decodeRow(std::span<const std::uint8_t> row, const TableDefinition& table, const RowLocator& locate,
                             PageFile& pages);

}  // namespace zestrel::jet
