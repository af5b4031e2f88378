#include "store/jet/usage_map.h"

#include <cstdint>

#include "store/jet/data_page.h"

namespace zestrel::jet {

namespace {

void collectBits(std::span<const std::uint8_t> bitmap, std::uint64_t firstPage, const PageFile& pages,
                 PastEnd pastEnd, std::vector<std::uint32_t>& out) {
    const std::uint32_t pageCount = pages.pageCount();
    for (std::size_t byte = 0; byte < bitmap.size(); ++byte) {
        if (bitmap[byte] == 0) continue;
        for (unsigned bit = 0; bit < 8; ++bit) {
            if ((bitmap[byte] & (1u << bit)) == 0) continue;
            const std::uint64_t page = firstPage + byte * 8 + bit;
            if (page >= pageCount && pastEnd == PastEnd::Keep) {
                if (page <= UINT32_MAX) out.push_back(static_cast<std::uint32_t>(page));
                continue;
            }
            if (page >= pageCount) {
                if (pastEnd == PastEnd::Skip) return;
                throwPageBeyondEnd(pages.fileBytes(), page, pages.pageSize(),
                                   "a usage map marks a page past the end of the file");
            }
            out.push_back(static_cast<std::uint32_t>(page));
        }
    }
}

}  // namespace

std::vector<std::uint32_t> readUsageMap(PageFile& pages, const Format& f, RowPointer where, PastEnd pastEnd) {
    auto page = pages.page(where.page);
    if (page[0] != kPageData) throw CorruptData("a usage map points to a page that holds no rows");
    auto row = rowBytes(page, f, where.row);
    std::vector<std::uint32_t> out;
    const std::uint8_t type = readU8(row, 0);
    if (type == kUsageMapInline) {
        collectBits(row.subspan(kUsageMapInlineHeader), readU32(row, 1), pages, pastEnd, out);
        return out;
    }
    if (type != kUsageMapIndirect) throw CorruptData("a usage map has an unknown type");
    const std::uint64_t pagesPerMapPage = static_cast<std::uint64_t>(f.pageSize - 4) * 8;
    for (std::size_t i = 0; 1 + 4 * i + 4 <= row.size(); ++i) {
        const std::uint32_t mapPage = readU32(row, 1 + 4 * i);
        if (mapPage == 0) continue;
        auto bitmapPage = pages.page(mapPage);
        if (bitmapPage[0] != kPageUsageMap) throw CorruptData("a usage map points to a page of another kind");
        collectBits(bitmapPage.subspan(4), i * pagesPerMapPage, pages, pastEnd, out);
    }
    return out;
}

}  // namespace zestrel::jet
