// Reading a table definition (TDEF), also when it spans several pages.
//
// The definition gives the table's columns (sorted by column number, the order
// rows and readers use), its row count, its index counts and where its usage
// maps lie. Counts and offsets are checked against the bytes actually present:
// a damaged definition raises CorruptData, never reads outside its pages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "store/jet/format.h"
#include "store/jet/page_file.h"

namespace zestrel::jet {

struct ColumnDefinition {
    std::u16string name;
    ColumnType type = ColumnType::Text;
    std::uint16_t number = 0;         // bit in the null mask; includes deleted columns
    std::uint16_t variableIndex = 0;  // entry in a row's variable-column offset table
    std::uint16_t fixedOffset = 0;    // from the end of the row's column count
    std::uint16_t size = 0;
    std::uint8_t flags = 0;
    std::uint8_t precision = 0;
    std::uint8_t scale = 0;
    bool allowZeroLength = false;  // from the catalog's property block
    bool isFixed() const { return (flags & kColumnFixed) != 0; }
};

// Flags of a physical index. One that ignores nulls holds no entry for a row whose key columns
// are all null.
inline constexpr std::uint8_t kIndexIgnoresNulls = 0x02;

struct RealIndexDefinition {
    std::vector<std::uint16_t> columns;  // column numbers
    std::vector<bool> descending;        // by key column: whether its keys are in descending order
    RowPointer usageMap;
    std::uint32_t firstPage = 0;
    std::uint8_t flags = 0;
};

// The usage maps of one long-value column: the LVAL pages it owns, and those with room.
struct LongValueColumnMaps {
    std::uint16_t column = 0;  // column number
    RowPointer used;
    RowPointer free;
};

struct TableDefinition {
    std::u16string name;  // from the catalog; the definition itself does not hold it
    std::uint32_t page = 0;
    std::uint32_t rowCount = 0;
    std::uint8_t tableType = 0;
    std::uint16_t maxColumns = 0;
    std::uint16_t variableColumnCount = 0;
    std::uint32_t indexCount = 0;
    std::uint32_t realIndexCount = 0;
    RowPointer usageMap;
    RowPointer freeSpaceMap;
    std::vector<ColumnDefinition> columns;  // ascending by number
    std::vector<RealIndexDefinition> realIndexes;
    std::vector<LongValueColumnMaps> longValueMaps;  // as listed after the index names

    // The maps of the long-value column with this number; nullptr when the definition lists none.
    const LongValueColumnMaps* longValueMapsOf(std::uint16_t number) const;

    // The position in `columns` of the column with this number; columns.size() when there is none.
    std::size_t positionOf(std::uint16_t number) const;
};

// The definition's bytes: the first page whole, then each further page without its 8-byte header.
std::vector<std::uint8_t> readDefinitionBytes(PageFile& pages, std::uint32_t firstPage);

TableDefinition readTableDefinition(PageFile& pages, const Format& format, std::uint32_t firstPage);

}  // namespace zestrel::jet
