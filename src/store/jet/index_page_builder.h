// Building an index leaf page (Jet 3): the header, the bitmap that marks where
// each entry starts (and where the last one ends), and the entries in key
// order, each the key bytes followed by the row's page (three bytes,
// big-endian) and row number. No prefix compression is used.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "store/jet/format.h"

namespace zestrel::jet {

struct IndexEntry {
    std::vector<std::uint8_t> key;
    RowPointer row;
};

inline constexpr std::size_t kJet3IndexMaskOffset = 0x16;
inline constexpr std::size_t kJet3IndexEntriesOffset = 0xF8;

// Whether the entries fit on one leaf page.
bool fitsOnLeafPage(const std::vector<IndexEntry>& entries, std::uint32_t pageSize);

// Writes a leaf page holding `entries` (sorted here) for the table whose definition is on `tablePage`.
void buildLeafPage(std::span<std::uint8_t> page, std::uint32_t tablePage, std::vector<IndexEntry> entries);

}  // namespace zestrel::jet
