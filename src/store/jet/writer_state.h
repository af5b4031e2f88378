// What the writer remembers between calls on one open database, so that
// adding a row does not search the file: each table's page for new rows, each
// long-value column's page for new values, and the page new usage maps go to;
// and the buffers rows are encoded in.
#pragma once

#include <cstdint>
#include <map>
#include <span>
#include <vector>

#include "store/jet/row_builder.h"

namespace zestrel::jet {

// The pages the writer remembers; a write that fails puts them back as they were.
struct WriterPages {
    std::map<std::uint32_t, std::uint32_t> insertPage;     // table definition page -> data page, 0 when unknown
    std::map<std::uint32_t, std::uint32_t> longValuePage;  // column's owned-pages map (encoded) -> LVAL page
    std::uint32_t usageMapPage = 0;
};

struct WriterState : WriterPages {
    // Buffers kept from row to row (what they hold matters only within one write): the data of a
    // row's long values one after another, the field each is stored as and where it lies (by
    // column position), and the encoded row.
    std::vector<std::uint8_t> longValueData;
    std::vector<std::vector<std::uint8_t>> longValueFields;
    std::vector<std::span<const std::uint8_t>> longFields;
    std::vector<std::uint8_t> row;
};

}  // namespace zestrel::jet
