#include "store/jet/data_page_builder.h"

#include <algorithm>
#include <vector>

#include "store/jet/data_page.h"

namespace zestrel::jet {

namespace {

constexpr std::size_t kOwnerOffset = 4;
constexpr std::uint8_t kLongValueOwner[4] = {'L', 'V', 'A', 'L'};
constexpr std::size_t kForwardSize = 4;  // a row pointer

std::size_t slotOffset(const Format& f, std::size_t index) { return f.dataRowCountOffset + 2 + 2 * index; }

// The bytes a page keeps free whatever is added to it: the genuine engine never fills a page of
// rows to its last byte, though it does fill long-value pages.
std::size_t keptFree(std::span<const std::uint8_t> page) {
    return std::equal(std::begin(kLongValueOwner), std::end(kLongValueOwner), page.begin() + kOwnerOffset) ? 0 : 1;
}

struct Slot {
    std::vector<std::uint8_t> bytes;
    std::uint16_t flags;
};

std::vector<Slot> readSlots(std::span<const std::uint8_t> page, const Format& f) {
    std::vector<Slot> slots;
    const std::uint16_t count = rowCountOf(page, f);
    for (std::uint16_t i = 0; i < count; ++i) {
        const RowSlot slot = rowSlot(page, f, i);
        const std::uint16_t flags = readU16(page, slotOffset(f, i)) & static_cast<std::uint16_t>(~kRowOffsetMask);
        // A slot without a row of its own keeps a moved row's pointer, also when the slot was
        // deleted after the row moved on (it leads there); any other deleted row keeps nothing.
        const bool forwards = (flags & kRowMovedHere) != 0 && slot.end - slot.start == kForwardSize;
        const bool keep = slot.live || (flags & kRowMovedHere) == 0 || forwards;
        if (keep && slot.end > slot.start && slot.end <= f.pageSize)
            slots.push_back({{page.begin() + slot.start, page.begin() + slot.end}, flags});
        else
            slots.push_back({{}, flags});
    }
    return slots;
}

std::size_t bytesNeeded(const std::vector<Slot>& slots, const Format& f) {
    std::size_t total = f.dataPageHeaderSize;
    for (const auto& s : slots) total += 2 + s.bytes.size();
    return total;
}

void writeSlots(std::span<std::uint8_t> page, const Format& f, const std::vector<Slot>& slots) {
    std::size_t end = f.pageSize;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        end -= slots[i].bytes.size();
        std::copy(slots[i].bytes.begin(), slots[i].bytes.end(), page.begin() + static_cast<std::ptrdiff_t>(end));
        writeU16(page, slotOffset(f, i), static_cast<std::uint16_t>(end | slots[i].flags));
    }
    writeU16(page, f.dataRowCountOffset, static_cast<std::uint16_t>(slots.size()));
    writeU16(page, f.dataFreeSpaceOffset, static_cast<std::uint16_t>(f.pageSize - bytesNeeded(slots, f)));
}

}  // namespace

void initDataPage(std::span<std::uint8_t> page, const Format& f, std::uint32_t owner) {
    std::fill(page.begin(), page.end(), 0);
    page[0] = kPageData;
    page[1] = 0x01;
    writeU32(page, kOwnerOffset, owner);
    writeU16(page, f.dataFreeSpaceOffset, static_cast<std::uint16_t>(f.pageSize - f.dataPageHeaderSize));
}

void initLongValuePage(std::span<std::uint8_t> page, const Format& f) {
    initDataPage(page, f, 0);
    std::copy(std::begin(kLongValueOwner), std::end(kLongValueOwner), page.begin() + kOwnerOffset);
}

std::uint32_t freeSpaceOf(std::span<const std::uint8_t> page, const Format& f) {
    return readU16(page, f.dataFreeSpaceOffset);
}

std::uint32_t maxRowSize(const Format& f) { return f.pageSize - f.dataPageHeaderSize - 2; }

std::optional<RowPlace> placeForRow(std::span<const std::uint8_t> page, const Format& f, std::size_t size) {
    const std::uint16_t count = rowCountOf(page, f);
    if (count >= kMaxRowsPerPage || freeSpaceOf(page, f) < size + 2 + keptFree(page)) return std::nullopt;
    const std::size_t lowest = count == 0 ? f.pageSize : (readU16(page, slotOffset(f, count - 1)) & kRowOffsetMask);
    if (lowest < size) throw CorruptData("a data page's rows overlap its slots");
    return RowPlace{static_cast<std::uint8_t>(count), slotOffset(f, count) + 2, lowest - size};
}

std::uint8_t putRow(std::span<std::uint8_t> page, const Format& f, std::span<const std::uint8_t> row,
                    std::uint16_t flags, const RowPlace& place) {
    std::copy(row.begin(), row.end(), page.begin() + static_cast<std::ptrdiff_t>(place.rowStart));
    writeU16(page, slotOffset(f, place.index), static_cast<std::uint16_t>(place.rowStart | flags));
    writeU16(page, f.dataRowCountOffset, static_cast<std::uint16_t>(place.index + 1));
    writeU16(page, f.dataFreeSpaceOffset, static_cast<std::uint16_t>(freeSpaceOf(page, f) - row.size() - 2));
    return place.index;
}

std::optional<std::uint8_t> appendRow(std::span<std::uint8_t> page, const Format& f, std::span<const std::uint8_t> row,
                                      std::uint16_t flags) {
    const auto place = placeForRow(page, f, row.size());
    if (!place) return std::nullopt;
    return putRow(page, f, row, flags, *place);
}

bool replaceRow(std::span<std::uint8_t> page, const Format& f, std::uint8_t index, std::span<const std::uint8_t> row,
                std::uint16_t flags) {
    auto slots = readSlots(page, f);
    if (index >= slots.size()) throw CorruptData("a row pointer names a row its page does not have");
    slots[index] = {{row.begin(), row.end()}, flags};
    if (bytesNeeded(slots, f) + keptFree(page) > f.pageSize) return false;
    std::vector<std::uint8_t> rebuilt(page.begin(), page.begin() + static_cast<std::ptrdiff_t>(f.dataRowCountOffset));
    rebuilt.resize(f.pageSize, 0);
    writeSlots(rebuilt, f, slots);
    std::copy(rebuilt.begin(), rebuilt.end(), page.begin());
    return true;
}

}  // namespace zestrel::jet
