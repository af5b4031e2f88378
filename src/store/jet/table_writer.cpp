#include "store/jet/table_writer.h"

#include <array>
#include <optional>

#include "store/jet/catalog.h"
#include "store/jet/data_page.h"
#include "store/jet/data_page_builder.h"
#include "store/jet/failure.h"
#include "store/jet/long_value.h"
#include "store/jet/long_value_builder.h"
#include "store/jet/page_allocator.h"
#include "store/jet/table_reader.h"
#include "store/jet/tdef_builder.h"
#include "text/utf8.h"

namespace zestrel::jet {

namespace {


[[noreturn]] void refuseRecordTooLarge(const TableDefinition& table, std::size_t size) {
    throw Failure(failure::kRecordTooLarge,
                  "Record is too large: a row of table '" + text::toUtf8(table.name) + "' needs " + std::to_string(size) +
                      " bytes even with its memos stored apart, and a row may have at most " +
                      std::to_string(kMaxRecordSize) + ".");
}

// The bytes a long value is stored from: a memo's text in code page 1252 (given so, or encoded),
// an OLE object's bytes.
void appendLongValueData(const Value& v, ColumnType type, std::vector<std::uint8_t>& out) {
    if (type == ColumnType::Memo)
        if (const auto* text = std::get_if<std::u16string>(&v)) {
            text::westernEuropean().appendEncoded(*text, out);
            return;
        }
    const auto& bytes = std::get<Bytes>(v);
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// Whether the catalog's column at `position` holds property blocks, which the genuine engine keeps on
// long-value pages whatever their size.
bool holdsCatalogProperties(const TableDefinition& table, std::size_t position) {
    return table.page == kCatalogDefinitionPage && table.columns[position].name == u"LvProp";
}

// The row's size with its long values (their data's lengths by column position) kept inline where
// `mayStayInline` allows, or all stored apart.
std::size_t plannedSize(const RowLayout& layout, RowValues values, std::span<const std::size_t> longLengths,
                        std::span<const bool> mayStayInline, bool inlineSmallValues) {
    const auto& places = layout.places();
    std::size_t variableBytes = 0;
    for (std::size_t i = 0; i < places.size(); ++i) {
        const ColumnPlace& place = places[i];
        if (place.kind != ColumnPlace::Kind::Variable || place.index >= layout.variableColumnCount() ||
            isNull(*values[i]))
            continue;
        if (!isLongValue(place.type)) {
            variableBytes += storedLength(*values[i], place.type);
            continue;
        }
        const std::size_t length = longLengths[i];
        variableBytes += kLongValueFieldSize + (inlineSmallValues && mayStayInline[i] ? length : 0);
    }
    return rowSizeJet3(layout, variableBytes);
}

// The row in the writer's buffer; valid until the next row is encoded.
std::span<const std::uint8_t> encodeRow(WriteContext& c, const TableDefinition& table, const RowLayout& layout,
                                        RowValues values) {
    auto& row = c.state.row;
    buildRowJet3(layout, values, storeLongValues(c, table, layout, values), row);
    if (row.size() > kMaxRecordSize) refuseRecordTooLarge(table, row.size());
    return row;
}

std::uint32_t lastDataPage(WriteContext& c, const TableDefinition& table) {
    auto& page = c.state.insertPage[table.page];
    if (page == 0) {
        const auto pages = dataPagesOf(c.pages, c.format, table);
        if (!pages.empty()) page = pages.back();
    }
    return page;
}

// Puts a row on the table's current page, or on a new page that joins the table.
RowPointer placeRow(WriteContext& c, const TableDefinition& table, std::span<const std::uint8_t> row,
                    std::uint16_t flags) {
    const std::uint32_t current = lastDataPage(c, table);
    if (current != 0) {
        // Only the header with the new slot and the row's room change: only they are remembered.
        if (const auto place = placeForRow(c.pages.page(current), c.format, row.size())) {
            auto page = c.pages.mutablePage(current, {{0, place->headerEnd}, {place->rowStart, row.size()}});
            return {current, putRow(page, c.format, row, flags, *place)};
        }
    }
    const std::uint32_t fresh = allocatePage(c.pages, c.format);
    initDataPage(c.pages.mutablePage(fresh), c.format, table.page);
    markInUsageMap(c.pages, c.format, table.usageMap, fresh, true, MapKind::Owned);
    if (current != 0) markInUsageMap(c.pages, c.format, table.freeSpaceMap, current, false, MapKind::FreeSpace);
    markInUsageMap(c.pages, c.format, table.freeSpaceMap, fresh, true, MapKind::FreeSpace);
    c.state.insertPage[table.page] = fresh;
    return {fresh, *appendRow(c.pages.mutablePage(fresh), c.format, row, flags)};
}

std::uint16_t slotFlags(std::span<const std::uint8_t> page, const Format& f, std::uint8_t row) {
    return readU16(page, f.dataRowCountOffset + 2 + 2u * row) & static_cast<std::uint16_t>(~kRowOffsetMask);
}

// The slot that holds the pointer to a row that moved to `target`.
std::optional<RowPointer> findPointerTo(WriteContext& c, const TableDefinition& table, RowPointer target) {
    for (std::uint32_t number : dataPagesOf(c.pages, c.format, table)) {
        auto page = c.pages.page(number);
        for (std::uint16_t i = 0; i < rowCountOf(page, c.format); ++i) {
            const auto flags = slotFlags(page, c.format, static_cast<std::uint8_t>(i));
            if (flags != kRowNoData) continue;
            const RowSlot slot = rowSlot(page, c.format, i);
            if (slot.end - slot.start >= 4 && readU32(page, slot.start) == target.encode())
                return RowPointer{number, static_cast<std::uint8_t>(i)};
        }
    }
    return std::nullopt;
}

std::vector<std::uint8_t> pointerRow(RowPointer to) {
    std::vector<std::uint8_t> row(4);
    writeU32(row, 0, to.encode());
    return row;
}

}  // namespace

void checkWritable(const TableDefinition& table, const Format& format) {
    if (format.version != JetVersion::Jet3)
        throw Failure(failure::kOperationNotSupported,
                      "Cannot write to table '" + text::toUtf8(table.name) + "': this program writes only Jet 3 databases.");
    if (table.tableType == kTableTypeUser && table.realIndexCount > 0)
        throw Failure(failure::kOperationNotSupported,
                      "Cannot write to table '" + text::toUtf8(table.name) +
                          "': it has indexes of its own, which this program does not maintain.");
}

std::span<const std::span<const std::uint8_t>> storeLongValues(WriteContext& c, const TableDefinition& table,
                                                              const RowLayout& layout, RowValues values) {
    const auto& places = layout.places();
    auto& data = c.state.longValueData;
    data.clear();
    // By column position, set for the long values that are not null (the only ones read).
    std::array<std::size_t, 257> ends;  // where the column's data ends in `data`
    std::array<std::size_t, 257> lengths;
    std::array<bool, 257> mayStayInline;
    if (places.size() >= ends.size()) throw CorruptData("a table has more columns than a row holds");
    bool any = false;
    for (std::size_t i = 0; i < places.size(); ++i) {
        if (!isLongValue(places[i].type) || isNull(*values[i])) continue;
        const std::size_t start = data.size();
        appendLongValueData(*values[i], places[i].type, data);
        ends[i] = data.size();
        lengths[i] = data.size() - start;
        mayStayInline[i] = lengths[i] <= kLongValueInlineLimit && !holdsCatalogProperties(table, i);
        any = true;
    }
    if (!any) return {};
    // Small long values stay in the row unless that makes the row too large; then all go apart.
    const bool inlineSmallValues = plannedSize(layout, values, lengths, mayStayInline, true) <= kMaxRecordSize;
    if (!inlineSmallValues) {
        const std::size_t apart = plannedSize(layout, values, lengths, mayStayInline, false);
        if (apart > kMaxRecordSize) refuseRecordTooLarge(table, apart);
    }
    auto& stored = c.state.longValueFields;
    auto& fields = c.state.longFields;
    stored.resize(places.size());
    fields.assign(places.size(), {});
    for (std::size_t i = 0; i < places.size(); ++i) {
        if (!isLongValue(places[i].type) || isNull(*values[i])) continue;
        const ColumnDefinition& column = table.columns[i];
        const LongValueColumnMaps* maps = table.longValueMapsOf(column.number);
        if (maps == nullptr)
            throw CorruptData("the definition of table '" + text::toUtf8(table.name) + "' lists no pages for column '" +
                              text::toUtf8(column.name) + "'");
        const auto value = std::span<const std::uint8_t>(data).subspan(ends[i] - lengths[i], lengths[i]);
        stored[i] = storeLongValue(c.pages, c.format, c.state, *maps, value, inlineSmallValues && mayStayInline[i]);
        fields[i] = stored[i];
    }
    return fields;
}

RowPointer insertRow(WriteContext& c, TableDefinition& table, const RowLayout& layout, RowValues values) {
    checkWritable(table, c.format);
    const RowPointer at = placeRow(c, table, encodeRow(c, table, layout, values), 0);
    // The count in the file, not the caller's copy: several recordsets may write to one table.
    auto definition = c.pages.mutablePage(table.page, {{kTdefRowCountOffset, 4}});
    table.rowCount = readU32(definition, kTdefRowCountOffset) + 1;
    writeU32(definition, kTdefRowCountOffset, table.rowCount);
    return at;
}

RowPointer insertRow(WriteContext& c, TableDefinition& table, const std::vector<Value>& values) {
    return insertRow(c, table, RowLayout(table, c.format), addressesOf(values));
}

RowPointer updateRow(WriteContext& c, const TableDefinition& table, const RowLayout& layout, RowPointer at,
                     RowValues values) {
    checkWritable(table, c.format);
    const auto row = encodeRow(c, table, layout, values);
    auto page = c.pages.mutablePage(at.page);
    const std::uint16_t flags = slotFlags(page, c.format, at.row);
    if (replaceRow(page, c.format, at.row, row, flags)) return at;

    // No room: the row moves; the slot that pointers lead to keeps a pointer to its new place.
    const RowPointer moved = placeRow(c, table, row, kRowMovedHere);
    if ((flags & kRowMovedHere) == 0) {
        replaceRow(c.pages.mutablePage(at.page), c.format, at.row, pointerRow(moved), kRowNoData);
        return moved;
    }
    if (auto origin = findPointerTo(c, table, at))
        replaceRow(c.pages.mutablePage(origin->page), c.format, origin->row, pointerRow(moved), kRowNoData);
    // The slot it leaves is deleted, but keeps the way to the row's new place: another recordset
    // may have listed the row here.
    replaceRow(c.pages.mutablePage(at.page), c.format, at.row, pointerRow(moved), kRowNoData | kRowMovedHere);
    return moved;
}

}  // namespace zestrel::jet
