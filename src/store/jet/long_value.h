// Long values (Memo and OLE columns): the 12-byte field in the row says where
// the bytes are: inline after the field, in one row of a long-value page, or in
// a chain of such rows, each starting with a pointer to the next.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "store/jet/format.h"
#include "store/jet/page_file.h"

namespace zestrel::jet {

inline constexpr std::size_t kLongValueFieldSize = 12;
inline constexpr std::uint32_t kLongValueLengthMask = 0x3FFFFFFF;
inline constexpr std::uint8_t kLongValueInline = 0x80;
inline constexpr std::uint8_t kLongValueSingleRow = 0x40;

// The stored bytes of a long value. A chain that loops, breaks off or claims
// more bytes than the file holds raises CorruptData.
std::vector<std::uint8_t> readLongValue(PageFile& pages, const Format& format, std::span<const std::uint8_t> field);
// The same without a copy where the value lies in one place (inline or in one row): a span of the
// field or of the page, valid until the pages are next trimmed; a chain is gathered in `chained`.
std::span<const std::uint8_t> longValueBytes(PageFile& pages, const Format& format, std::span<const std::uint8_t> field,
                                             std::vector<std::uint8_t>& chained);
// The same into `bytes`, its storage reused.
void readLongValue(PageFile& pages, const Format& format, std::span<const std::uint8_t> field,
                   std::vector<std::uint8_t>& bytes);

}  // namespace zestrel::jet
