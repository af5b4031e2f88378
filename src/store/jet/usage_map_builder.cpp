#include "store/jet/usage_map_builder.h"

#include <algorithm>

#include "store/jet/data_page.h"
#include "store/jet/data_page_builder.h"
#include "store/jet/usage_map.h"

namespace zestrel::jet {

namespace {

constexpr std::size_t kReferenceSlots = (kUsageMapRowSize - 1) / 4;
constexpr std::size_t kMapPageHeader = 4;

// A usage map row for changing in place: only its bytes are remembered.
std::span<std::uint8_t> mutableRow(PageFile& pages, const Format& f, RowPointer where) {
    const RowSlot slot = rowSlot(pages.page(where.page), f, where.row);
    if (!slot.live) throw CorruptData("a usage map points to a deleted row");
    if (slot.end - slot.start < kUsageMapInlineHeader) throw CorruptData("a usage map row is too short");
    const std::size_t length = slot.end - slot.start;
    return pages.mutablePage(where.page, {{slot.start, length}}).subspan(slot.start, length);
}

std::uint64_t pagesPerMapPage(const Format& f) { return static_cast<std::uint64_t>(f.pageSize - kMapPageHeader) * 8; }

void setBit(std::span<std::uint8_t> bitmap, std::uint64_t bit, bool on) {
    auto& byte = bitmap[bit / 8];
    const auto mask = static_cast<std::uint8_t>(1u << (bit % 8));
    byte = static_cast<std::uint8_t>(on ? (byte | mask) : (byte & ~mask));
}

// Gives the map row new bytes in place; false, changing nothing, when its page has no room.
bool resizeRow(PageFile& pages, const Format& f, RowPointer where, const std::vector<std::uint8_t>& bytes) {
    auto page = pages.mutablePage(where.page);
    const auto flags = static_cast<std::uint16_t>(readU16(page, f.dataRowCountOffset + 2 + 2u * where.row) &
                                                  static_cast<std::uint16_t>(~kRowOffsetMask));
    return replaceRow(page, f, where.row, bytes, flags);
}

std::vector<std::uint8_t> referenceRow() {
    std::vector<std::uint8_t> row(kUsageMapRowSize, 0);
    row[0] = kUsageMapIndirect;
    return row;
}

void initMapPage(std::span<std::uint8_t> page) {
    std::fill(page.begin(), page.end(), 0);
    page[0] = kPageUsageMap;
    page[1] = 0x01;
}

// Grows an inline map from page 0 so that its bitmap reaches `page`.
bool growInline(PageFile& pages, const Format& f, RowPointer map, std::uint32_t page, bool newBitsFree) {
    auto row = mutableRow(pages, f, map);
    std::vector<std::uint8_t> grown(row.begin(), row.end());
    grown.resize(kUsageMapInlineHeader + page / 8 + 1, newBitsFree ? 0xFF : 0x00);
    return resizeRow(pages, f, map, grown);
}

// ---- tables' and columns' maps ----

void markReference(PageFile& pages, const Format& f, RowPointer map, std::uint32_t page, bool on) {
    const std::size_t slot = page / pagesPerMapPage(f);
    if (slot >= (mutableRow(pages, f, map).size() - 1) / 4)
        throw CorruptData("the file is larger than a usage map can describe");
    std::uint32_t bitmapPage = readU32(mutableRow(pages, f, map), 1 + 4 * slot);
    if (bitmapPage == 0) {
        if (!on) return;
        bitmapPage = pages.appendPage();
        takeFromGlobalMap(pages, f, bitmapPage);
        initMapPage(pages.mutablePage(bitmapPage));
        writeU32(mutableRow(pages, f, map), 1 + 4 * slot, bitmapPage);
    }
    setBit(pages.mutablePage(bitmapPage).subspan(kMapPageHeader), page % pagesPerMapPage(f), on);
}

// Turns an inline map into a reference map of the usual length that marks the same pages.
void makeReference(PageFile& pages, const Format& f, RowPointer map) {
    const std::vector<std::uint32_t> owned = readUsageMap(pages, f, map);
    if (!resizeRow(pages, f, map, referenceRow())) throw CorruptData("a usage map row cannot be rewritten");
    for (std::uint32_t page : owned) markReference(pages, f, map, page, true);
}

// Sets or clears the bit where the map already reaches `page`; false when an inline map does not.
bool markWithinReach(PageFile& pages, const Format& f, RowPointer map, std::uint32_t page, bool on) {
    auto row = mutableRow(pages, f, map);
    if (row[0] == kUsageMapIndirect) {
        markReference(pages, f, map, page, on);
        return true;
    }
    const std::uint32_t first = readU32(row, 1);
    const std::uint64_t reach = (row.size() - kUsageMapInlineHeader) * 8;
    if (page < first || page - first >= reach) return false;
    setBit(row.subspan(kUsageMapInlineHeader), page - first, on);
    return true;
}

void markOwned(PageFile& pages, const Format& f, RowPointer map, std::uint32_t page, bool on) {
    if (markWithinReach(pages, f, map, page, on) || !on) return;
    const std::uint32_t first = readU32(mutableRow(pages, f, map), 1);
    if (first == 0 && growInline(pages, f, map, page, false)) {
        setBit(mutableRow(pages, f, map).subspan(kUsageMapInlineHeader), page, true);
        return;
    }
    makeReference(pages, f, map);
    markReference(pages, f, map, page, true);
}

void markFreeSpace(PageFile& pages, const Format& f, RowPointer map, std::uint32_t page, bool on) {
    if (markWithinReach(pages, f, map, page, on) || !on) return;
    auto row = mutableRow(pages, f, map);
    const std::uint32_t moved = page & ~7u;
    auto bitmap = row.subspan(kUsageMapInlineHeader);
    std::fill(bitmap.begin(), bitmap.end(), 0);
    writeU32(row, 1, moved);
    setBit(bitmap, page - moved, true);
}

// ---- the global map ----

bool isInline(PageFile& pages, const Format& f, RowPointer map) {
    return mutableRow(pages, f, map)[0] == kUsageMapInline;
}

// A usage-map page of the global map for `slot`: pages past the end of the file are free.
std::uint32_t ensureGlobalSlot(PageFile& pages, const Format& f, std::size_t slot) {
    if (slot >= kReferenceSlots) throw CorruptData("the file is larger than the global usage map can describe");
    const std::uint32_t existing = readU32(mutableRow(pages, f, kGlobalUsageMap), 1 + 4 * slot);
    if (existing != 0) return existing;
    const std::uint32_t number = pages.appendPage();
    auto page = pages.mutablePage(number);
    initMapPage(page);
    const std::uint64_t first = slot * pagesPerMapPage(f);
    for (std::uint64_t p = std::max<std::uint64_t>(first, pages.pageCount()); p < first + pagesPerMapPage(f); ++p)
        setBit(page.subspan(kMapPageHeader), p - first, true);
    writeU32(mutableRow(pages, f, kGlobalUsageMap), 1 + 4 * slot, number);
    if (number / pagesPerMapPage(f) != slot) takeFromGlobalMap(pages, f, number);
    return number;
}

void setGlobalReference(PageFile& pages, const Format& f, std::uint32_t page, bool isFree) {
    const std::uint32_t mapPage = ensureGlobalSlot(pages, f, page / pagesPerMapPage(f));
    setBit(pages.mutablePage(mapPage).subspan(kMapPageHeader), page % pagesPerMapPage(f), isFree);
}

void makeGlobalReference(PageFile& pages, const Format& f) {
    std::vector<std::uint32_t> freePages;
    for (std::uint32_t p : readUsageMap(pages, f, kGlobalUsageMap, PastEnd::Skip)) freePages.push_back(p);
    if (!resizeRow(pages, f, kGlobalUsageMap, referenceRow())) throw CorruptData("the global usage map cannot be rewritten");
    for (std::size_t slot = 0; slot * pagesPerMapPage(f) < pages.pageCount(); ++slot) ensureGlobalSlot(pages, f, slot);
    for (std::uint32_t p : freePages) setGlobalReference(pages, f, p, true);
}

// Past 1,024 pages the engine keeps page 1's second map as a reference map.
void makeSecondMapReference(PageFile& pages, const Format& f) {
    if (!resizeRow(pages, f, kGlobalSecondMap, referenceRow())) throw CorruptData("page 1 has no room for its maps");
    const std::uint32_t mapPage = pages.appendPage();
    takeFromGlobalMap(pages, f, mapPage);
    initMapPage(pages.mutablePage(mapPage));
    writeU32(mutableRow(pages, f, kGlobalSecondMap), 1, mapPage);
}

}  // namespace

void markInUsageMap(PageFile& pages, const Format& f, RowPointer map, std::uint32_t page, bool on, MapKind kind) {
    if (kind == MapKind::FreeSpace) return markFreeSpace(pages, f, map, page, on);
    markOwned(pages, f, map, page, on);
}

std::vector<std::uint8_t> emptyInlineMapRow() { return std::vector<std::uint8_t>(kUsageMapRowSize, 0); }

std::vector<std::uint8_t> newGlobalMapRow(std::uint32_t pageCount) {
    auto row = emptyInlineMapRow();
    for (std::uint64_t page = pageCount; page < kInlineMapReach; ++page)
        setBit(std::span<std::uint8_t>(row).subspan(kUsageMapInlineHeader), page, true);
    return row;
}

void takeFromGlobalMap(PageFile& pages, const Format& f, std::uint32_t page) {
    if (page >= kInlineMapReach && isInline(pages, f, kGlobalSecondMap)) makeSecondMapReference(pages, f);
    auto row = mutableRow(pages, f, kGlobalUsageMap);
    if (row[0] == kUsageMapIndirect) return setGlobalReference(pages, f, page, false);
    const std::uint32_t first = readU32(row, 1);
    const std::uint64_t reach = (row.size() - kUsageMapInlineHeader) * 8;
    if (page >= first && page - first < reach) return setBit(row.subspan(kUsageMapInlineHeader), page - first, false);
    if (first == 0 && growInline(pages, f, kGlobalUsageMap, page, true)) {
        setBit(mutableRow(pages, f, kGlobalUsageMap).subspan(kUsageMapInlineHeader), page, false);
        return;
    }
    makeGlobalReference(pages, f);
    setGlobalReference(pages, f, page, false);
}

}  // namespace zestrel::jet
