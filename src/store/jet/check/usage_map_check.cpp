#include "store/jet/check/usage_map_check.h"

#include "store/jet/data_page.h"
#include "store/jet/usage_map.h"

namespace zestrel::jet::check {

namespace {

constexpr std::size_t kMapPageHeader = 4;

void collect(std::span<const std::uint8_t> bitmap, std::uint64_t first, std::uint32_t pageCount, bool pastEndIsFree,
             MapContents& out, bool& pastEnd) {
    for (std::size_t byte = 0; byte < bitmap.size(); ++byte) {
        if (bitmap[byte] == 0) continue;
        for (unsigned bit = 0; bit < 8; ++bit) {
            if ((bitmap[byte] & (1u << bit)) == 0) continue;
            const std::uint64_t page = first + byte * 8 + bit;
            if (page < pageCount) out.pages.insert(static_cast<std::uint32_t>(page));
            else if (!pastEndIsFree) pastEnd = true;
        }
    }
}

}  // namespace

std::optional<MapContents> readMap(PageFile& pages, const Format& f, RowPointer where, const std::string& what,
                                   CheckReport& report, bool pastEndIsFree) {
    if (where.page == 0) {
        report.note(what + ": no map (a null pointer)");
        return std::nullopt;
    }
    try {
        auto page = pages.page(where.page);
        if (page[0] != kPageData) throw CorruptData("it points to a page that holds no rows");
        auto row = rowBytes(page, f, where.row);
        if (row.size() < kUsageMapInlineHeader) throw CorruptData("its row is too short");
        MapContents out;
        out.holder = where.page;
        bool pastEnd = false;
        if (row[0] == kUsageMapInline) {
            const std::uint32_t first = readU32(row, 1);
            out.reachEnd = first + static_cast<std::uint64_t>(row.size() - kUsageMapInlineHeader) * 8;
            collect(row.subspan(kUsageMapInlineHeader), first, pages.pageCount(), pastEndIsFree, out, pastEnd);
        } else if (row[0] == kUsageMapIndirect) {
            out.inlineMap = false;
            const std::uint64_t perPage = static_cast<std::uint64_t>(f.pageSize - kMapPageHeader) * 8;
            for (std::size_t i = 0; 1 + 4 * i + 4 <= row.size(); ++i) {
                const std::uint32_t mapPage = readU32(row, 1 + 4 * i);
                if (mapPage == 0) continue;
                auto bitmap = pages.page(mapPage);
                if (bitmap[0] != kPageUsageMap) throw CorruptData("it points to a page that is not a usage-map page");
                out.mapPages.push_back(mapPage);
                out.reachEnd = (i + 1) * perPage;
                collect(bitmap.subspan(kMapPageHeader), i * perPage, pages.pageCount(), pastEndIsFree, out, pastEnd);
            }
        } else {
            throw CorruptData("it has an unknown type " + std::to_string(row[0]));
        }
        if (pastEnd) report.fault(what + ": marks pages past the end of the file");
        return out;
    } catch (const CorruptData& e) {
        report.fault(what + ": cannot be read: " + e.what());
        return std::nullopt;
    }
}

}  // namespace zestrel::jet::check
