#include "store/jet/page_allocator.h"

#include <vector>

#include "store/jet/data_page.h"
#include "store/jet/data_page_builder.h"
#include "store/jet/usage_map.h"

namespace zestrel::jet {

namespace {

constexpr std::size_t kIndirectSlots = (kUsageMapRowSize - 1) / 4;

std::span<std::uint8_t> mutableRow(PageFile& pages, const Format& f, RowPointer where) {
    auto page = pages.mutablePage(where.page);
    const RowSlot slot = rowSlot(page, f, where.row);
    if (!slot.live) throw CorruptData("a usage map points to a deleted row");
    return page.subspan(slot.start, slot.end - slot.start);
}

std::uint64_t pagesPerMapPage(const Format& f) { return static_cast<std::uint64_t>(f.pageSize - 4) * 8; }

void setBit(std::span<std::uint8_t> bitmap, std::uint64_t bit, bool on) {
    auto& byte = bitmap[bit / 8];
    const auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
    byte = static_cast<std::uint8_t>(on ? (byte | mask) : (byte & ~mask));
}

std::uint32_t newBitmapPage(PageFile& pages, const Format& f) {
    const std::uint32_t number = allocatePage(pages, f);
    auto page = pages.mutablePage(number);
    page[0] = kPageUsageMap;
    page[1] = 0x01;
    return number;
}

void markIndirect(PageFile& pages, const Format& f, RowPointer map, std::uint32_t page, bool owned) {
    const std::size_t slot = page / pagesPerMapPage(f);
    if (slot >= kIndirectSlots) throw CorruptData("the file is larger than a usage map can describe");
    std::uint32_t bitmapPage = readU32(mutableRow(pages, f, map), 1 + 4 * slot);
    if (bitmapPage == 0) {
        if (!owned) return;
        bitmapPage = newBitmapPage(pages, f);  // may itself change usage maps, so read the row again after
        writeU32(mutableRow(pages, f, map), 1 + 4 * slot, bitmapPage);
    }
    setBit(pages.mutablePage(bitmapPage).subspan(4), page % pagesPerMapPage(f), owned);
}

// Turns an inline map into an indirect one that marks the same pages.
void makeIndirect(PageFile& pages, const Format& f, RowPointer map) {
    const std::vector<std::uint32_t> owned = readUsageMap(pages, f, map);
    auto row = mutableRow(pages, f, map);
    std::fill(row.begin(), row.end(), 0);
    row[0] = kUsageMapIndirect;
    for (std::uint32_t page : owned) markIndirect(pages, f, map, page, true);
}

}  // namespace

std::uint32_t allocatePage(PageFile& pages, const Format& f) {
    const std::uint32_t number = pages.appendPage();
    if (pages.pageCount() > kGlobalUsageMap.page) markInUsageMap(pages, f, kGlobalUsageMap, number, false);
    return number;
}

void markInUsageMap(PageFile& pages, const Format& f, RowPointer map, std::uint32_t page, bool owned) {
    auto row = mutableRow(pages, f, map);
    if (row.size() < kUsageMapInlineHeader) throw CorruptData("a usage map row is too short");
    if (row[0] == kUsageMapIndirect) return markIndirect(pages, f, map, page, owned);
    const std::uint32_t first = readU32(row, 1);
    const std::uint64_t reach = (row.size() - kUsageMapInlineHeader) * 8;
    if (page >= first && page - first < reach) return setBit(row.subspan(kUsageMapInlineHeader), page - first, owned);
    if (!owned) return;
    if (map == kGlobalUsageMap) return;  // the global map describes only the pages within its reach
    makeIndirect(pages, f, map);
    markIndirect(pages, f, map, page, true);
}

RowPointer newUsageMap(PageFile& pages, const Format& f, WriterState& state) {
    const std::vector<std::uint8_t> row(kUsageMapRowSize, 0);
    if (state.usageMapPage != 0) {
        if (auto slot = appendRow(pages.mutablePage(state.usageMapPage), f, row)) return {state.usageMapPage, *slot};
    }
    state.usageMapPage = allocatePage(pages, f);
    initDataPage(pages.mutablePage(state.usageMapPage), f, 0);
    return {state.usageMapPage, *appendRow(pages.mutablePage(state.usageMapPage), f, row)};
}

std::vector<std::uint8_t> globalUsageMapRow(std::uint32_t firstFree) {
    std::vector<std::uint8_t> row(kUsageMapRowSize, 0);
    for (std::uint64_t page = firstFree; page < (kUsageMapRowSize - kUsageMapInlineHeader) * 8; ++page)
        setBit(std::span<std::uint8_t>(row).subspan(kUsageMapInlineHeader), page, true);
    return row;
}

}  // namespace zestrel::jet
