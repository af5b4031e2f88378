// Changing data pages: a new empty page, adding a row, replacing a row.
//
// The page keeps its rows packed against its end in slot order; replacing a
// row repacks them, so slot numbers (and with them every pointer to a row)
// stay as they are. The free-space count in the header is kept exact. As in
// the genuine engine's files, a page of rows keeps at least one byte free; a
// long-value page may be filled to the last byte.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "store/jet/format.h"

namespace zestrel::jet {

inline constexpr std::uint16_t kMaxRowsPerPage = 255;  // a row pointer has one byte for the row

void initDataPage(std::span<std::uint8_t> page, const Format& format, std::uint32_t owner);
void initLongValuePage(std::span<std::uint8_t> page, const Format& format);

// Bytes still free for rows and their slots.
std::uint32_t freeSpaceOf(std::span<const std::uint8_t> page, const Format& format);
// The largest row a page can hold.
std::uint32_t maxRowSize(const Format& format);

// Where appendRow would put a row of `size` bytes: its slot's index, the end of the page's header
// and slot table with that slot, and where the row would start. Adding the row changes only the
// bytes before headerEnd and those from rowStart on for `size` bytes. Nothing when it does not fit.
struct RowPlace {
    std::uint8_t index = 0;
    std::size_t headerEnd = 0;
    std::size_t rowStart = 0;
};
std::optional<RowPlace> placeForRow(std::span<const std::uint8_t> page, const Format& format, std::size_t size);

// Puts a row at the place placeForRow gave for it, with the given slot flags; returns its slot.
std::uint8_t putRow(std::span<std::uint8_t> page, const Format& format, std::span<const std::uint8_t> row,
                    std::uint16_t flags, const RowPlace& place);

// Adds a row with the given slot flags; nothing when it does not fit.
std::optional<std::uint8_t> appendRow(std::span<std::uint8_t> page, const Format& format,
                                      std::span<const std::uint8_t> row, std::uint16_t flags = 0);

// Puts new bytes (and flags) into slot `index`; false, leaving the page as it was, when they do not fit.
bool replaceRow(std::span<std::uint8_t> page, const Format& format, std::uint8_t index,
                std::span<const std::uint8_t> row, std::uint16_t flags);

}  // namespace zestrel::jet
