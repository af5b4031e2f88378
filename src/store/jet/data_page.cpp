#include "store/jet/data_page.h"

namespace zestrel::jet {

namespace {
constexpr std::size_t kOwnerOffset = 4;
}

void throwNoSuchRow() { throw CorruptData("a row pointer names a row its page does not have"); }

void throwImpossibleExtent() { throw CorruptData("a row on a data page has an impossible extent"); }

std::uint32_t tableOfDataPage(std::span<const std::uint8_t> page) { return readU32(page, kOwnerOffset); }

std::span<const std::uint8_t> rowBytes(std::span<const std::uint8_t> page, const Format& f, std::uint16_t index) {
    const RowSlot slot = rowSlot(page, f, index);
    if (!slot.live) throw CorruptData("a pointer leads to a deleted row");
    return page.subspan(slot.start, slot.end - slot.start);
}

}  // namespace zestrel::jet
