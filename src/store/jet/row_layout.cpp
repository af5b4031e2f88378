#include "store/jet/row_layout.h"

#include <algorithm>

namespace zestrel::jet {

ColumnPlace placeOf(const ColumnDefinition& column, std::uint32_t fixedBefore, const Format& format) {
    ColumnPlace place;
    place.type = column.type;
    place.number = column.number;
    if (column.type == ColumnType::Boolean) {
        place.kind = ColumnPlace::Kind::Bit;
    } else if (column.isFixed()) {
        place.kind = ColumnPlace::Kind::Fixed;
        place.index = fixedBefore;
        place.offset = format.rowCountSize + column.fixedOffset;
        place.size = fixedSizeOf(column.type) ? fixedSizeOf(column.type) : column.size;
    } else {
        place.kind = ColumnPlace::Kind::Variable;
        place.index = column.variableIndex;
    }
    return place;
}

RowLayout::RowLayout(const TableDefinition& table, const Format& format)
    : frame_{table.maxColumns, 0}, variableColumnCount_(table.variableColumnCount) {
    places_.reserve(table.columns.size());
    std::uint32_t fixedBefore = 0;
    for (const auto& column : table.columns) {
        const ColumnPlace place = placeOf(column, fixedBefore, format);
        places_.push_back(place);
        frame_.columns = std::max<std::uint32_t>(frame_.columns, column.number + 1u);
        if (place.kind == ColumnPlace::Kind::Fixed) {
            ++fixedBefore;
            frame_.fixedArea = std::max<std::uint32_t>(frame_.fixedArea, column.fixedOffset + column.size);
        }
    }
}

}  // namespace zestrel::jet
