#include "store/jet/data_page.h"

namespace zestrel::jet {

namespace {
constexpr std::size_t kOwnerOffset = 4;
}

std::uint16_t rowCountOf(std::span<const std::uint8_t> page, const Format& f) {
    return readU16(page, f.dataRowCountOffset);
}

std::uint32_t tableOfDataPage(std::span<const std::uint8_t> page) { return readU32(page, kOwnerOffset); }

RowSlot rowSlot(std::span<const std::uint8_t> page, const Format& f, std::uint16_t index) {
    const std::uint16_t count = rowCountOf(page, f);
    if (index >= count) throw CorruptData("a row pointer names a row its page does not have");
    const std::size_t tableStart = f.dataRowCountOffset + 2;
    const std::uint16_t raw = readU16(page, tableStart + 2u * index);
    RowSlot slot;
    slot.live = (raw & kRowNoData) == 0;
    slot.movedHere = slot.live && (raw & kRowMovedHere) != 0;
    slot.start = raw & kRowOffsetMask;
    slot.end = index == 0 ? f.pageSize : (readU16(page, tableStart + 2u * (index - 1)) & kRowOffsetMask);
    const std::size_t tableEnd = tableStart + 2u * count;
    const bool inside = slot.start >= tableEnd && slot.start < slot.end && slot.end <= f.pageSize;
    if (slot.live && !inside) throw CorruptData("a row on a data page has an impossible extent");
    return slot;
}

std::span<const std::uint8_t> rowBytes(std::span<const std::uint8_t> page, const Format& f, std::uint16_t index) {
    const RowSlot slot = rowSlot(page, f, index);
    if (!slot.live) throw CorruptData("a pointer leads to a deleted row");
    return page.subspan(slot.start, slot.end - slot.start);
}

}  // namespace zestrel::jet
