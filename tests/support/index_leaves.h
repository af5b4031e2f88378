// Reading the entries of a Jet 3 index straight from its pages, for tests
// that compare with the keys the genuine engine wrote: down the first child of
// each node page to the first leaf, then along the chain of leaves. Written
// apart from the engine's own index reading, so that a test does not check the
// engine with itself.
#pragma once

#include <cstdint>
#include <vector>

#include "store/jet/format.h"
#include "store/jet/page_file.h"

namespace zestrel::test {

struct IndexLeafEntry {
    std::vector<std::uint8_t> key;  // the key bytes, without the row pointer
    jet::RowPointer row;
};

// Every entry of the Jet 3 index whose first page is `firstPage`, in the order the leaves hold them.
std::vector<IndexLeafEntry> jet3IndexEntries(jet::PageFile& pages, std::uint32_t firstPage);

// The second of the two counters of the table definition's physical index `index` (Jet 3): in
// genuine files the number of distinct keys.
std::uint32_t jet3IndexKeyCounter(jet::PageFile& pages, std::uint32_t definitionPage, std::size_t index);

}  // namespace zestrel::test
