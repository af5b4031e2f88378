// What the writer remembers between calls on one open database, so that
// adding a row does not search the file: each table's page for new rows, each
// long-value column's page for new values, and the page new usage maps go to;
// and the buffers rows are encoded in.
#pragma once

#include <cstdint>
#include <map>
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
    // Buffers kept from row to row (what they hold matters only within one write): the row's
    // stored fields and the encoded row.
    StoredFields fields;
    std::vector<std::uint8_t> row;
};

}  // namespace zestrel::jet
