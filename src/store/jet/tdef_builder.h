// Building a Jet 3 table definition (TDEF) page: header, columns, names, the
// physical and logical indexes and the usage maps of the long-value columns,
// laid out as the genuine engine lays them out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/jet/format.h"

namespace zestrel::jet {

inline constexpr std::uint8_t kTableTypeUser = 0x4E;
inline constexpr std::uint8_t kTableTypeSystem = 0x53;
inline constexpr std::uint16_t kGeneralSortOrder = 0x0409;
inline constexpr std::uint16_t kCodePage1252 = 0x04E4;

struct ColumnSpec {
    std::u16string name;
    ColumnType type = ColumnType::Text;
    std::uint16_t size = 0;  // Text: characters; fixed types: their byte size; Memo, OLE: 0
    std::uint8_t flags = 0;
};

struct IndexSpec {
    std::u16string name;
    std::vector<std::uint16_t> columns;  // column numbers, all ascending
    std::uint8_t flags = 0;               // 0x01 unique, 0x02 ignore nulls, 0x08 required
    std::uint8_t logicalType = 0;         // 1 for the table's primary index
    RowPointer usageMap;
    std::uint32_t firstPage = 0;
};

struct LongValueMaps {
    std::uint16_t column = 0;
    RowPointer used;
    RowPointer free;
};

struct TableSpec {
    std::uint8_t tableType = kTableTypeUser;
    std::uint32_t rowCount = 0;
    std::vector<ColumnSpec> columns;
    std::vector<IndexSpec> indexes;  // in physical order
    RowPointer usageMap;
    RowPointer freeSpaceMap;
    std::vector<LongValueMaps> longValueMaps;
};

inline constexpr std::size_t kTdefRowCountOffset = 12;
// Then 8 bytes per physical index: 4 the engine leaves 0 in a system table, and the number of
// distinct keys the index holds.
inline constexpr std::size_t kTdefRealIndexCountsOffset = 43;

// The definition's bytes, at most one page long (else CorruptData: the caller's table is too wide).
std::vector<std::uint8_t> buildTableDefinition(const TableSpec& spec, std::uint32_t pageSize);

// Byte positions the engine gives each column: variable-column index and fixed offset.
struct ColumnPlacement {
    std::uint16_t variableIndex = 0;
    std::uint16_t fixedOffset = 0;
};
std::vector<ColumnPlacement> placeColumns(const std::vector<ColumnSpec>& columns);

}  // namespace zestrel::jet
