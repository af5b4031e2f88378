#include "store/jet/long_value.h"

#include <set>

#include "store/jet/data_page.h"

namespace zestrel::jet {

namespace {

std::span<const std::uint8_t> longValueRow(PageFile& pages, const Format& f, RowPointer where) {
    auto page = pages.page(where.page);
    if (page[0] != kPageData) throw CorruptData("a long value points to a page that holds no rows");
    return rowBytes(page, f, where.row);
}

}  // namespace

std::span<const std::uint8_t> longValueBytes(PageFile& pages, const Format& f, std::span<const std::uint8_t> field,
                                             std::vector<std::uint8_t>& chained) {
    chained.clear();
    if (field.size() < kLongValueFieldSize) return {};
    const std::uint32_t header = readU32(field, 0);
    const std::uint32_t length = header & kLongValueLengthMask;
    const std::uint8_t kind = readU8(field, 3) & 0xC0;
    const RowPointer first = RowPointer::decode(readU32(field, 4));
    if (static_cast<std::uint64_t>(length) > static_cast<std::uint64_t>(pages.pageCount()) * pages.pageSize())
        throw CorruptData("a long value claims more bytes than the file holds");

    if (kind == kLongValueInline) return slice(field, kLongValueFieldSize, length);
    if (kind == kLongValueSingleRow) {
        auto row = longValueRow(pages, f, first);
        if (row.size() < length) throw CorruptData("a long value is shorter than its length says");
        return row.first(length);
    }
    std::set<std::uint32_t> seen;
    for (RowPointer at = first; chained.size() < length;) {
        if (!seen.insert(at.encode()).second) throw CorruptData("the pages of a long value form a loop");
        auto row = longValueRow(pages, f, at);
        if (row.size() < 4) throw CorruptData("a long-value row is too short");
        const std::size_t take = std::min<std::size_t>(row.size() - 4, length - chained.size());
        chained.insert(chained.end(), row.begin() + 4, row.begin() + 4 + static_cast<std::ptrdiff_t>(take));
        const std::uint32_t next = readU32(row, 0);
        if (next == 0) break;
        at = RowPointer::decode(next);
    }
    if (chained.size() < length) throw CorruptData("a long value's chain ends before its length");
    return chained;
}

void readLongValue(PageFile& pages, const Format& f, std::span<const std::uint8_t> field, std::vector<std::uint8_t>& bytes) {
    const auto value = longValueBytes(pages, f, field, bytes);
    if (value.data() != bytes.data()) bytes.assign(value.begin(), value.end());
}

std::vector<std::uint8_t> readLongValue(PageFile& pages, const Format& f, std::span<const std::uint8_t> field) {
    std::vector<std::uint8_t> bytes;
    readLongValue(pages, f, field, bytes);
    return bytes;
}

}  // namespace zestrel::jet
