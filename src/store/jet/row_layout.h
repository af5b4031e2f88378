// Where each column of a table lies in its rows, as the table's definition
// says: worked out once, for all the rows a reader or a writer goes through,
// instead of from the definition's full column records row after row.
#pragma once

#include <cstdint>
#include <vector>

#include "store/jet/format.h"
#include "store/jet/tdef_reader.h"

namespace zestrel::jet {

// One column's place: a Boolean in the null mask; a fixed-length column at its offset from the
// row's start, the index-th such column (not counting Booleans); a variable-length one (long
// values too) by its index in the offset table.
struct ColumnPlace {
    enum class Kind : std::uint8_t { Bit, Fixed, Variable };
    Kind kind = Kind::Bit;
    ColumnType type = ColumnType::Boolean;
    std::uint16_t number = 0;  // the column's bit in the null mask
    std::uint32_t index = 0;
    std::uint32_t offset = 0;  // fixed-length columns only
    std::uint32_t size = 0;    // fixed-length columns only
};
ColumnPlace placeOf(const ColumnDefinition& column, std::uint32_t fixedBefore, const Format& format);

// What every row of a table shares: its column count (the null mask covers every column number,
// deleted ones too) and the size of its fixed-length area.
struct RowFrame {
    std::uint32_t columns = 0;
    std::uint32_t fixedArea = 0;
};

class RowLayout {
public:
    RowLayout(const TableDefinition& table, const Format& format);

    // By column position in the definition.
    const std::vector<ColumnPlace>& places() const { return places_; }
    const RowFrame& frame() const { return frame_; }
    // How many variable-length columns the definition counts (rows may hold fewer).
    std::uint32_t variableColumnCount() const { return variableColumnCount_; }

private:
    std::vector<ColumnPlace> places_;
    RowFrame frame_;
    std::uint32_t variableColumnCount_;
};

}  // namespace zestrel::jet
