// Encoding a row of a Jet 3 table: the column count, the fixed-length
// columns at their offsets, the variable-length columns, their one-byte
// offset table with the jump table that rows over 256 bytes need, and the
// null mask (which also holds the Booleans). The inverse of row_decoder.
//
// The row is sized first from the values, then each value is written
// straight to its place: nothing is encoded twice or copied between buffers,
// and once the row buffer has grown to the largest row nothing is allocated.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "store/jet/row_layout.h"
#include "store/jet/value.h"

namespace zestrel::jet {

// The bytes a value of a variable-length column of this type (Text, Binary) takes in the row: a
// Jet 3 text one byte a character (code page 1252), binary and stored text their bytes. Null
// takes none.
std::size_t storedLength(const Value& value, ColumnType type);

// Encodes one row of the table laid out as `layout` into `row` (its earlier content is replaced).
// Column i holds *values[i], written straight to its place; a long-value column (Memo, OLE) that
// is not null holds longFields[i] instead: its 12-byte field, with the data when kept inline.
// A text given as characters must be in the form it is stored in (every character one of code page
// 1252, as the data-access layer hands it over); one that is not is refused.
void buildRowJet3(const RowLayout& layout, RowValues values, std::span<const std::span<const std::uint8_t>> longFields,
                  std::vector<std::uint8_t>& row);

// The length buildRowJet3 gives a row whose variable-length columns hold `variableBytes` in all.
std::size_t rowSizeJet3(const RowLayout& layout, std::size_t variableBytes);

}  // namespace zestrel::jet
