#include "support/index_leaves.h"

#include <algorithm>
#include <stdexcept>

namespace zestrel::test {

namespace {

// Jet 3 index pages: the next leaf, the length of the prefix every entry shares with the page's
// first, the bitmap of where each entry ends, and where the entries start.
constexpr std::size_t kNextLeafAt = 12;
constexpr std::size_t kSharedPrefixAt = 20;
constexpr std::size_t kEndsBitmapAt = 0x16;
constexpr std::size_t kEntriesAt = 0xF8;
constexpr std::uint8_t kNodePage = 0x03;
constexpr std::uint8_t kLeafPage = 0x04;

// The stored entries of one page, the shared prefix put back in front of all but the first.
std::vector<std::vector<std::uint8_t>> pageEntries(std::span<const std::uint8_t> page) {
    std::vector<std::vector<std::uint8_t>> entries;
    std::vector<std::uint8_t> prefix;
    std::size_t start = kEntriesAt;
    for (std::size_t at = kEntriesAt + 1; at < page.size(); ++at) {
        const std::size_t bit = at - kEntriesAt;
        if ((page[kEndsBitmapAt + bit / 8] & (1u << (bit % 8))) == 0) continue;
        std::vector<std::uint8_t> entry = prefix;
        entry.insert(entry.end(), page.begin() + static_cast<std::ptrdiff_t>(start),
                     page.begin() + static_cast<std::ptrdiff_t>(at));
        if (entries.empty())
            prefix.assign(entry.begin(), entry.begin() + std::min<std::size_t>(page[kSharedPrefixAt], entry.size()));
        entries.push_back(std::move(entry));
        start = at;
    }
    return entries;
}

std::uint32_t bigEndian(const std::vector<std::uint8_t>& bytes, std::size_t at, std::size_t length) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < length; ++i) value = value << 8 | bytes.at(at + i);
    return value;
}

}  // namespace

std::vector<IndexLeafEntry> jet3IndexEntries(jet::PageFile& pages, std::uint32_t firstPage) {
    std::uint32_t number = firstPage;
    for (int depth = 0; pages.page(number)[0] == kNodePage; ++depth) {
        const auto entries = pageEntries(pages.page(number));
        if (entries.empty() || depth > 8) throw std::runtime_error("an index node leads nowhere");
        number = bigEndian(entries.front(), entries.front().size() - 4, 4);  // its first child
    }
    std::vector<IndexLeafEntry> out;
    for (std::size_t leaves = 0; number != 0; ++leaves) {
        const auto page = pages.page(number);
        if (page[0] != kLeafPage || leaves > pages.pageCount()) throw std::runtime_error("not a chain of index leaves");
        for (auto& entry : pageEntries(page)) {
            const std::size_t pointer = entry.size() - 4;
            const jet::RowPointer row{bigEndian(entry, pointer, 3), entry[pointer + 3]};
            entry.resize(pointer);
            out.push_back({std::move(entry), row});
        }
        number = jet::readU32(page, kNextLeafAt);
    }
    return out;
}

std::uint32_t jet3IndexKeyCounter(jet::PageFile& pages, std::uint32_t definitionPage, std::size_t index) {
    constexpr std::size_t kCountersAt = 43;
    return jet::readU32(pages.page(definitionPage), kCountersAt + 8 * index + 4);
}

}  // namespace zestrel::test
