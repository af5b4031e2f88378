#include "store/jet/check/page_survey.h"

#include <algorithm>
#include <string>

#include "store/jet/data_page.h"

namespace zestrel::jet::check {

namespace {

constexpr std::size_t kOwnerOffset = 4;
constexpr std::uint16_t kMaxRows = 255;
constexpr std::uint8_t kLastKnownPageType = 0x09;  // genuine files also hold pages of types 8 and 9

bool isLongValuePage(std::span<const std::uint8_t> page) {
    return std::equal(page.begin() + kOwnerOffset, page.begin() + kOwnerOffset + 4, "LVAL");
}

// The bytes the slots take, or nothing when an offset is impossible.
std::optional<std::uint32_t> slotBytes(std::span<const std::uint8_t> page, const Format& f, std::uint16_t count) {
    std::uint32_t total = 0;
    std::uint32_t previous = f.pageSize;
    const std::uint32_t tableEnd = f.dataRowCountOffset + 2 + 2u * count;
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint32_t start = readU16(page, f.dataRowCountOffset + 2 + 2u * i) & kRowOffsetMask;
        if (start < tableEnd || start > previous) return std::nullopt;
        total += previous - start;
        previous = start;
    }
    return total;
}

void checkDataPage(std::span<const std::uint8_t> page, const Format& f, std::uint32_t number, PageInfo& info,
                   CheckReport& report, const OwnerNames* only) {
    info.owner = isLongValuePage(page) ? kLongValueOwner : readU32(page, kOwnerOffset);
    std::string prefix;
    if (only) {
        const auto named = only->find(info.owner);
        if (named == only->end()) return;
        prefix = named->second + ": ";
    }
    const std::uint16_t count = rowCountOf(page, f);
    const auto used = count <= kMaxRows ? slotBytes(page, f, count) : std::nullopt;
    if (!used) {
        info.readable = false;
        report.fault(prefix + "page " + std::to_string(number) + ": its row offsets are impossible (" + std::to_string(count) +
                     " rows)");
        return;
    }
    const std::uint32_t expected = f.pageSize - f.dataPageHeaderSize - 2u * count - *used;
    const std::uint16_t stored = readU16(page, f.dataFreeSpaceOffset);
    if (stored != expected)
        report.fault(prefix + "page " + std::to_string(number) + ": free-space count is " + std::to_string(stored) +
                     ", its rows leave " + std::to_string(expected));
}

}  // namespace

std::vector<PageInfo> surveyPages(PageFile& pages, const Format& f, CheckReport& report, const OwnerNames* only) {
    std::vector<PageInfo> survey(pages.pageCount());
    for (std::uint32_t number = 0; number < pages.pageCount(); ++number) {
        pages.trim();  // one page at a time: the cache stays within its size on a file of any size
        pages.passed(number);
        auto page = pages.page(number);
        PageInfo& info = survey[number];
        info.type = page[0];
        if (info.type == kPageData) checkDataPage(page, f, number, info, report, only);
        else if (only) continue;
        else if (number == 0 && info.type != kPageDatabaseHeader) report.fault("page 0 is not the database header");
        else if (info.type > kPageUsageMap && info.type > kLastKnownPageType)
            report.fault("page " + std::to_string(number) + " has an unknown type " + std::to_string(info.type));
    }
    report.pagesChecked = survey.size();
    return survey;
}

PagesByOwner dataPagesByOwner(const std::vector<PageInfo>& survey) {
    PagesByOwner byOwner;
    for (std::uint32_t number = 0; number < survey.size(); ++number)
        if (survey[number].type == kPageData && survey[number].owner != kLongValueOwner)
            byOwner[survey[number].owner].push_back(number);
    return byOwner;
}

}  // namespace zestrel::jet::check
