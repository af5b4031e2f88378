#include "store/jet/long_value_builder.h"

#include <algorithm>

#include "store/jet/data_page.h"
#include "store/jet/data_page_builder.h"
#include "store/jet/long_value.h"
#include "store/jet/page_allocator.h"
#include "store/jet/usage_map.h"

namespace zestrel::jet {

namespace {

constexpr std::size_t kNextPointerSize = 4;
constexpr std::size_t kOwnerOffset = 4;

bool hasMap(RowPointer map) { return map.page != 0; }

bool isLongValuePage(std::span<const std::uint8_t> page) {
    return page[0] == kPageData && std::equal(page.begin() + kOwnerOffset, page.begin() + kOwnerOffset + 4, "LVAL");
}

// The page the column's values went to last: remembered, or the last page its free-space map lists.
std::uint32_t currentPage(PageFile& pages, const Format& f, WriterState& state, const LongValueColumnMaps& column) {
    auto& page = state.longValuePage[column.used.encode()];
    if (page == 0 && hasMap(column.free)) {
        const auto listed = readUsageMap(pages, f, column.free);
        if (!listed.empty() && isLongValuePage(pages.page(listed.back()))) page = listed.back();
    }
    return page;
}

std::uint32_t newLongValuePage(PageFile& pages, const Format& f, WriterState& state, const LongValueColumnMaps& column,
                               std::uint32_t previous) {
    const std::uint32_t fresh = allocatePage(pages, f);
    initLongValuePage(pages.mutablePage(fresh), f);
    markInUsageMap(pages, f, column.used, fresh, true, MapKind::Owned);
    if (hasMap(column.free)) {
        if (previous != 0) markInUsageMap(pages, f, column.free, previous, false, MapKind::FreeSpace);
        markInUsageMap(pages, f, column.free, fresh, true, MapKind::FreeSpace);
    }
    state.longValuePage[column.used.encode()] = fresh;
    return fresh;
}

RowPointer putLongValueRow(PageFile& pages, const Format& f, WriterState& state, const LongValueColumnMaps& column,
                           std::span<const std::uint8_t> row) {
    const std::uint32_t current = currentPage(pages, f, state, column);
    if (current != 0) {
        // Only the header with the new slot and the row's room change: only they are remembered.
        if (const auto place = placeForRow(pages.page(current), f, row.size())) {
            auto page = pages.mutablePage(current, {{0, place->headerEnd}, {place->rowStart, row.size()}});
            return {current, putRow(page, f, row, 0, *place)};
        }
    }
    const std::uint32_t fresh = newLongValuePage(pages, f, state, column, current);
    return {fresh, *appendRow(pages.mutablePage(fresh), f, row)};
}

std::vector<std::uint8_t> field(std::size_t length, std::uint8_t kind, RowPointer where) {
    std::vector<std::uint8_t> bytes(kLongValueFieldSize, 0);
    writeU32(bytes, 0, static_cast<std::uint32_t>(length));
    bytes[3] = static_cast<std::uint8_t>(bytes[3] | kind);
    writeU32(bytes, 4, where.encode());
    return bytes;
}

// A chain: each row holds the pointer to the next (0 in the last) and a part of the value.
RowPointer putChain(PageFile& pages, const Format& f, WriterState& state, const LongValueColumnMaps& column,
                    std::span<const std::uint8_t> data) {
    const std::size_t chunk = std::min<std::size_t>(kMaxLongValueChunk, maxRowSize(f) - kNextPointerSize);
    RowPointer first{};
    RowPointer previous{};
    for (std::size_t at = 0; at < data.size(); at += chunk) {
        const std::size_t take = std::min(chunk, data.size() - at);
        std::vector<std::uint8_t> row(kNextPointerSize, 0);
        row.insert(row.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + take));
        const RowPointer here = putLongValueRow(pages, f, state, column, row);
        if (at == 0) {
            first = here;
        } else {
            const std::size_t link = rowSlot(pages.page(previous.page), f, previous.row).start;
            writeU32(pages.mutablePage(previous.page, {{link, kNextPointerSize}}), link, here.encode());
        }
        previous = here;
    }
    return first;
}

}  // namespace

std::vector<std::uint8_t> storeLongValue(PageFile& pages, const Format& f, WriterState& state,
                                         const LongValueColumnMaps& column, std::span<const std::uint8_t> data,
                                         bool storeInline) {
    if (data.size() > kLongValueLengthMask) throw CorruptData("a long value is longer than the format allows");
    if (storeInline) {
        auto bytes = field(data.size(), kLongValueInline, {});
        bytes.insert(bytes.end(), data.begin(), data.end());
        return bytes;
    }
    if (data.size() <= std::min<std::size_t>(kMaxLongValueChunk, maxRowSize(f)))
        return field(data.size(), kLongValueSingleRow, putLongValueRow(pages, f, state, column, data));
    return field(data.size(), 0x00, putChain(pages, f, state, column, data));
}

}  // namespace zestrel::jet
