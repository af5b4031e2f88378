#include "store/jet/long_value_builder.h"

#include <algorithm>

#include "store/jet/data_page.h"
#include "store/jet/data_page_builder.h"
#include "store/jet/long_value.h"
#include "store/jet/page_allocator.h"

namespace zestrel::jet {

namespace {

constexpr std::size_t kNextPointerSize = 4;

RowPointer putLongValueRow(PageFile& pages, const Format& f, WriterState& state, std::span<const std::uint8_t> row) {
    if (state.longValuePage != 0) {
        if (auto slot = appendRow(pages.mutablePage(state.longValuePage), f, row)) return {state.longValuePage, *slot};
    }
    state.longValuePage = allocatePage(pages, f);
    initLongValuePage(pages.mutablePage(state.longValuePage), f);
    return {state.longValuePage, *appendRow(pages.mutablePage(state.longValuePage), f, row)};
}

std::vector<std::uint8_t> field(std::size_t length, std::uint8_t kind, RowPointer where) {
    std::vector<std::uint8_t> bytes(kLongValueFieldSize, 0);
    writeU32(bytes, 0, static_cast<std::uint32_t>(length));
    bytes[3] = static_cast<std::uint8_t>(bytes[3] | kind);
    writeU32(bytes, 4, where.encode());
    return bytes;
}

}  // namespace

std::vector<std::uint8_t> storeLongValue(PageFile& pages, const Format& f, WriterState& state,
                                         std::span<const std::uint8_t> data) {
    if (data.size() > kLongValueLengthMask) throw CorruptData("a long value is longer than the format allows");
    if (data.size() <= kLongValueInlineLimit) {
        auto bytes = field(data.size(), kLongValueInline, {});
        bytes.insert(bytes.end(), data.begin(), data.end());
        return bytes;
    }
    if (data.size() <= maxRowSize(f)) return field(data.size(), kLongValueSingleRow, putLongValueRow(pages, f, state, data));

    // A chain: each row holds the pointer to the next and a part of the value.
    const std::size_t chunk = maxRowSize(f) - kNextPointerSize;
    RowPointer first{};
    RowPointer previous{};
    for (std::size_t at = 0; at < data.size(); at += chunk) {
        const std::size_t take = std::min(chunk, data.size() - at);
        std::vector<std::uint8_t> row(kNextPointerSize, 0);
        row.insert(row.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + take));
        const RowPointer here = putLongValueRow(pages, f, state, row);
        if (at == 0) {
            first = here;
        } else {
            auto page = pages.mutablePage(previous.page);
            const RowSlot slot = rowSlot(page, f, previous.row);
            writeU32(page, slot.start, here.encode());
        }
        previous = here;
    }
    return field(data.size(), 0x00, first);
}

}  // namespace zestrel::jet
