#include "store/jet/tdef_builder.h"

#include <algorithm>

#include "store/jet/sort_key.h"
#include "text/utf8.h"

namespace zestrel::jet {

namespace {

constexpr std::size_t kIndexColumnSlots = 10;
constexpr std::uint8_t kCascadeNone = 0x04;

class Writer {
public:
    void u8(std::uint8_t v) { bytes.push_back(v); }
    void u16(std::uint16_t v) {
        u8(static_cast<std::uint8_t>(v));
        u8(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void name(const std::u16string& text) {
        const text::CodePage& page = text::westernEuropean();
        if (!page.holds(text) || text.size() > 64) throw CorruptData("a name cannot be written in code page 1252");
        u8(static_cast<std::uint8_t>(text.size()));
        page.appendEncoded(text, bytes);
    }
    std::vector<std::uint8_t> bytes;
};

void writeColumn(Writer& w, const ColumnSpec& c, std::uint16_t number, const ColumnPlacement& place,
                 std::uint8_t tableType) {
    w.u8(static_cast<std::uint8_t>(c.type));
    w.u16(number);
    w.u16(place.variableIndex);
    w.u16(tableType == kTableTypeSystem ? 0 : number);  // the engine repeats the number for user tables only
    w.u16(0x0001);
    w.u16(kGeneralSortOrder);
    w.u16(kCodePage1252);
    w.u8(c.flags);
    w.u16(place.fixedOffset);
    w.u16(c.size);
}

void writeRealIndex(Writer& w, const IndexSpec& index) {
    for (std::size_t slot = 0; slot < kIndexColumnSlots; ++slot) {
        if (slot < index.columns.size()) {
            w.u16(index.columns[slot]);
            w.u8(0x01);  // ascending
        } else {
            w.u16(0xFFFF);
            w.u8(0x00);
        }
    }
    w.u32(index.usageMap.encode());
    w.u32(index.firstPage);
    w.u8(index.flags);
}

void writeLogicalIndex(Writer& w, std::uint32_t number) {
    w.u32(number);
    w.u32(number);   // the physical index behind it
    w.u8(0);         // no related table
    w.u32(0xFFFFFFFF);
    w.u32(0);
    w.u8(kCascadeNone);
    w.u8(kCascadeNone);
}

}  // namespace

std::vector<ColumnPlacement> placeColumns(const std::vector<ColumnSpec>& columns) {
    std::vector<ColumnPlacement> placed;
    std::uint16_t variable = 0;
    std::uint16_t fixed = 0;
    for (const auto& c : columns) {
        ColumnPlacement p;
        p.variableIndex = variable;
        if (c.flags & kColumnFixed) {
            if (c.type != ColumnType::Boolean) {  // Booleans live in the null mask
                p.fixedOffset = fixed;
                fixed = static_cast<std::uint16_t>(fixed + c.size);
            }
        } else {
            ++variable;
        }
        placed.push_back(p);
    }
    return placed;
}

std::vector<std::uint8_t> buildTableDefinition(const TableSpec& spec, std::uint32_t pageSize) {
    Writer w;
    const auto placed = placeColumns(spec.columns);
    const auto variableCount = static_cast<std::uint16_t>(
        std::count_if(spec.columns.begin(), spec.columns.end(), [](const ColumnSpec& c) { return !(c.flags & kColumnFixed); }));
    const auto columnCount = static_cast<std::uint16_t>(spec.columns.size());
    const auto indexCount = static_cast<std::uint32_t>(spec.indexes.size());

    w.u8(kPageTableDefinition);
    w.u8(0x01);
    w.u8('V');
    w.u8('C');
    w.u32(0);  // next definition page
    w.u32(0);  // total length, filled in below
    w.u32(spec.rowCount);
    w.u32(0);  // next autonumber
    w.u8(spec.tableType);
    w.u16(columnCount);
    w.u16(variableCount);
    w.u16(columnCount);
    w.u32(indexCount);
    w.u32(indexCount);
    w.u32(spec.usageMap.encode());
    w.u32(spec.freeSpaceMap.encode());
    for (std::uint32_t i = 0; i < indexCount; ++i) {
        w.u32(0);
        w.u32(0);  // distinct keys: the index holds none until its table's rows are indexed
    }
    for (std::uint16_t i = 0; i < columnCount; ++i) writeColumn(w, spec.columns[i], i, placed[i], spec.tableType);
    for (const auto& c : spec.columns) w.name(c.name);
    for (const auto& index : spec.indexes) writeRealIndex(w, index);
    // Logical indexes are listed by name.
    std::vector<std::uint32_t> byName(indexCount);
    for (std::uint32_t i = 0; i < indexCount; ++i) byName[i] = i;
    std::sort(byName.begin(), byName.end(), [&](std::uint32_t a, std::uint32_t b) {
        return compareGeneral(spec.indexes[a].name, spec.indexes[b].name) < 0;
    });
    for (std::uint32_t i : byName) {
        writeLogicalIndex(w, i);
        w.u8(spec.indexes[i].logicalType);
    }
    for (std::uint32_t i : byName) w.name(spec.indexes[i].name);
    // The long-value columns' usage maps are listed by column name.
    auto longValueMaps = spec.longValueMaps;
    std::stable_sort(longValueMaps.begin(), longValueMaps.end(), [&](const LongValueMaps& a, const LongValueMaps& b) {
        return compareGeneral(spec.columns.at(a.column).name, spec.columns.at(b.column).name) < 0;
    });
    for (const auto& maps : longValueMaps) {
        w.u16(maps.column);
        w.u32(maps.used.encode());
        w.u32(maps.free.encode());
    }
    w.u16(0xFFFF);

    if (w.bytes.size() > pageSize) throw CorruptData("the table definition does not fit on one page");
    std::vector<std::uint8_t> page(pageSize, 0);
    std::copy(w.bytes.begin(), w.bytes.end(), page.begin());
    writeU32(page, 8, static_cast<std::uint32_t>(w.bytes.size()));
    return page;
}

}  // namespace zestrel::jet
