#include "store/jet/tdef_reader.h"

#include <algorithm>
#include <set>

#include "text/utf8.h"

namespace zestrel::jet {

namespace {

constexpr std::size_t kTdefHeaderSize = 8;
constexpr std::size_t kNextPageOffset = 4;
constexpr std::uint16_t kMaxColumns = 4096;
constexpr std::uint8_t kAscendingColumn = 0x01;  // the order byte of an index's key column

ColumnDefinition readColumnEntry(std::span<const std::uint8_t> bytes, const Format& f, std::size_t at) {
    ColumnDefinition c;
    // Types this engine does not know (later formats' complex columns) are kept and read as raw bytes.
    c.type = static_cast<ColumnType>(readU8(bytes, at));
    c.number = readU16(bytes, at + f.colNumberOffset);
    c.variableIndex = readU16(bytes, at + f.colVariableOffset);
    c.precision = readU8(bytes, at + f.colPrecisionOffset);
    c.scale = readU8(bytes, at + f.colScaleOffset);
    c.flags = readU8(bytes, at + f.colFlagsOffset);
    c.fixedOffset = readU16(bytes, at + f.colFixedOffset);
    c.size = readU16(bytes, at + f.colSizeOffset);
    return c;
}

std::u16string readName(std::span<const std::uint8_t> bytes, const Format& f, std::size_t& at) {
    if (f.nameLengthSize == 1) {
        const std::uint8_t length = readU8(bytes, at);
        auto name = codePageOf(f).decode(slice(bytes, at + 1, length));
        at += 1 + length;
        return name;
    }
    const std::uint16_t length = readU16(bytes, at);
    auto raw = slice(bytes, at + 2, length);
    std::u16string name;
    for (std::size_t i = 0; i + 1 < raw.size(); i += 2) name.push_back(static_cast<char16_t>(raw[i] | (raw[i + 1] << 8)));
    at += 2 + length;
    return name;
}

RealIndexDefinition readRealIndex(std::span<const std::uint8_t> bytes, const Format& f, std::size_t at) {
    constexpr std::size_t kSlots = 10;
    const std::size_t start = at + (f.version == JetVersion::Jet4 ? 4 : 0);
    RealIndexDefinition index;
    for (std::size_t slot = 0; slot < kSlots; ++slot) {
        const std::uint16_t column = readU16(bytes, start + 3 * slot);
        if (column == 0xFFFF) continue;
        index.columns.push_back(column);
        index.descending.push_back(readU8(bytes, start + 3 * slot + 2) != kAscendingColumn);
    }
    index.usageMap = RowPointer::decode(readU32(bytes, start + 3 * kSlots));
    index.firstPage = readU32(bytes, start + 3 * kSlots + 4);
    index.flags = readU8(bytes, at + f.realIndexFlagsOffset);
    return index;
}

// The long-value columns' usage maps close the definition: (column, used, free) until 0xFFFF.
// Files whose definition ends early simply list fewer.
std::vector<LongValueColumnMaps> readLongValueMaps(std::span<const std::uint8_t> bytes, std::size_t at) {
    constexpr std::size_t kEntrySize = 10;
    std::vector<LongValueColumnMaps> maps;
    while (at + 2 <= bytes.size()) {
        const std::uint16_t column = readU16(bytes, at);
        if (column == 0xFFFF || at + kEntrySize > bytes.size()) break;
        maps.push_back({column, RowPointer::decode(readU32(bytes, at + 2)), RowPointer::decode(readU32(bytes, at + 6))});
        at += kEntrySize;
    }
    return maps;
}

}  // namespace

const LongValueColumnMaps* TableDefinition::longValueMapsOf(std::uint16_t number) const {
    for (const auto& maps : longValueMaps)
        if (maps.column == number) return &maps;
    return nullptr;
}

std::size_t TableDefinition::positionOf(std::uint16_t number) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (columns[i].number == number) return i;
    return columns.size();
}

std::vector<std::uint8_t> readDefinitionBytes(PageFile& pages, std::uint32_t firstPage) {
    std::vector<std::uint8_t> bytes;
    std::set<std::uint32_t> seen;
    for (std::uint32_t number = firstPage; number != 0;) {
        if (!seen.insert(number).second) throw CorruptData("the pages of a table definition form a loop");
        auto page = pages.page(number);
        if (page[0] != kPageTableDefinition) throw CorruptData("a table definition points to a page of another kind");
        bytes.insert(bytes.end(), page.begin() + (bytes.empty() ? 0 : kTdefHeaderSize), page.end());
        number = readU32(page, kNextPageOffset);
    }
    return bytes;
}

TableDefinition readTableDefinition(PageFile& pages, const Format& f, std::uint32_t firstPage) {
    const auto bytes = readDefinitionBytes(pages, firstPage);
    TableDefinition t;
    t.page = firstPage;
    t.rowCount = readU32(bytes, f.tdefRowCountOffset);
    t.tableType = readU8(bytes, f.tdefTableTypeOffset);
    t.maxColumns = readU16(bytes, f.tdefMaxColumnsOffset);
    t.variableColumnCount = readU16(bytes, f.tdefVariableColumnsOffset);
    const std::uint16_t columnCount = readU16(bytes, f.tdefColumnCountOffset);
    t.indexCount = readU32(bytes, f.tdefIndexCountOffset);
    t.realIndexCount = readU32(bytes, f.tdefRealIndexCountOffset);
    t.usageMap = RowPointer::decode(readU32(bytes, f.tdefUsageMapOffset));
    t.freeSpaceMap = RowPointer::decode(readU32(bytes, f.tdefFreeMapOffset));
    if (columnCount > kMaxColumns || t.realIndexCount > bytes.size() / f.realIndexEntrySize)
        throw CorruptData("a table definition gives impossible counts");

    std::size_t at = f.tdefColumnsStart + static_cast<std::size_t>(t.realIndexCount) * f.realIndexEntrySize;
    for (std::uint16_t i = 0; i < columnCount; ++i, at += f.columnEntrySize)
        t.columns.push_back(readColumnEntry(bytes, f, at));
    for (auto& column : t.columns) column.name = readName(bytes, f, at);
    for (std::uint32_t i = 0; i < t.realIndexCount; ++i, at += f.realIndexDefinitionSize)
        t.realIndexes.push_back(readRealIndex(bytes, f, at));
    // Only the checker needs the long-value maps: a definition damaged past its columns still reads.
    if (t.indexCount <= bytes.size() / f.logicalIndexSize) {
        try {
            at += static_cast<std::size_t>(t.indexCount) * f.logicalIndexSize;
            for (std::uint32_t i = 0; i < t.indexCount; ++i) readName(bytes, f, at);
            t.longValueMaps = readLongValueMaps(bytes, at);
        } catch (const CorruptData&) {
            t.longValueMaps.clear();
        }
    }
    std::stable_sort(t.columns.begin(), t.columns.end(),
                     [](const ColumnDefinition& a, const ColumnDefinition& b) { return a.number < b.number; });
    return t;
}

}  // namespace zestrel::jet
