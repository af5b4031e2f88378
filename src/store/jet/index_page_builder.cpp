#include "store/jet/index_page_builder.h"

#include <algorithm>

namespace zestrel::jet {

namespace {

constexpr std::size_t kPointerSize = 4;

std::size_t entriesSize(const std::vector<IndexEntry>& entries) {
    std::size_t total = 0;
    for (const auto& e : entries) total += e.key.size() + kPointerSize;
    return total;
}

void markStart(std::span<std::uint8_t> page, std::size_t offset) {
    const std::size_t bit = offset - kJet3IndexEntriesOffset;
    page[kJet3IndexMaskOffset + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
}

}  // namespace

bool fitsOnLeafPage(const std::vector<IndexEntry>& entries, std::uint32_t pageSize) {
    return kJet3IndexEntriesOffset + entriesSize(entries) < pageSize;
}

void buildLeafPage(std::span<std::uint8_t> page, std::uint32_t tablePage, std::vector<IndexEntry> entries) {
    std::sort(entries.begin(), entries.end(), [](const IndexEntry& a, const IndexEntry& b) {
        if (a.key != b.key) return a.key < b.key;
        return a.row.encode() < b.row.encode();
    });
    if (!fitsOnLeafPage(entries, static_cast<std::uint32_t>(page.size())))
        throw CorruptData("the index entries do not fit on one page");
    std::fill(page.begin(), page.end(), 0);
    page[0] = kPageIndexLeaf;
    page[1] = 0x01;
    writeU32(page, 4, tablePage);  // previous, next and tail leaf stay 0: this is the only leaf
    std::size_t at = kJet3IndexEntriesOffset;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0) markStart(page, at);
        const auto& e = entries[i];
        std::copy(e.key.begin(), e.key.end(), page.begin() + static_cast<std::ptrdiff_t>(at));
        at += e.key.size();
        page[at++] = static_cast<std::uint8_t>(e.row.page >> 16);
        page[at++] = static_cast<std::uint8_t>(e.row.page >> 8);
        page[at++] = static_cast<std::uint8_t>(e.row.page);
        page[at++] = e.row.row;
    }
    if (!entries.empty()) markStart(page, at);  // where the last entry ends
    writeU16(page, 2, static_cast<std::uint16_t>(page.size() - at));
}

}  // namespace zestrel::jet
