// The rows of a data page (also of long-value pages, which share its layout).
//
// Rows are stored from the end of the page downwards; the offset table after
// the header gives each row's start with two flags: a slot that holds no row
// of its own (deleted, or left behind with a pointer when the row grew and
// moved), and a row that moved here from another page. A row is listed where
// it lives, so a moved row is listed once, on its new page. A row ends where
// the row before it starts.
#pragma once

#include <cstdint>
#include <span>

#include "store/jet/format.h"

namespace zestrel::jet {

struct RowSlot {
    std::uint32_t start = 0;
    std::uint32_t end = 0;  // one past the last byte
    bool live = false;      // the slot holds a row
    bool movedHere = false;
};

[[gnu::always_inline]] inline std::uint16_t rowCountOf(std::span<const std::uint8_t> page, const Format& format) {
    return readU16(page, format.dataRowCountOffset);
}
std::uint32_t tableOfDataPage(std::span<const std::uint8_t> page);

[[noreturn]] void throwNoSuchRow();
[[noreturn]] void throwImpossibleExtent();

// The extent of row `index`; a live row whose extent is impossible raises CorruptData. Inline, so
// that a walk over a page's rows reads its slots in place.
[[gnu::always_inline]] inline RowSlot rowSlot(std::span<const std::uint8_t> page, const Format& format, std::uint16_t index) {
    const std::uint16_t count = rowCountOf(page, format);
    if (index >= count) throwNoSuchRow();
    const std::size_t tableStart = format.dataRowCountOffset + 2;
    const std::uint16_t raw = readU16(page, tableStart + 2u * index);
    RowSlot slot;
    slot.live = (raw & kRowNoData) == 0;
    slot.movedHere = slot.live && (raw & kRowMovedHere) != 0;
    slot.start = raw & kRowOffsetMask;
    slot.end = index == 0 ? format.pageSize : (readU16(page, tableStart + 2u * (index - 1)) & kRowOffsetMask);
    const std::size_t tableEnd = tableStart + 2u * count;
    const bool inside = slot.start >= tableEnd && slot.start < slot.end && slot.end <= format.pageSize;
    if (slot.live && !inside) throwImpossibleExtent();
    return slot;
}

// The bytes of a live row, checked.
std::span<const std::uint8_t> rowBytes(std::span<const std::uint8_t> page, const Format& format, std::uint16_t index);

}  // namespace zestrel::jet
