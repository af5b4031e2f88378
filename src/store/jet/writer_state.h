// What the writer remembers between calls on one open database, so that
// adding a row does not search the file: each table's page for new rows, each
// long-value column's page for new values, and the page new usage maps go to;
// and the buffers rows are encoded in.
#pragma once

#include <cstdint>
#include <utility>
#include <span>
#include <vector>

#include "store/jet/row_builder.h"

namespace zestrel::jet {

// A page remembered by key, 0 when unknown. A database has a handful of tables and long-value
// columns: a short list searched in order, which a write copies (to put it back should the write
// fail) in one move, without a node per entry.
class PageByKey {
public:
    std::uint32_t& operator[](std::uint32_t key) {
        for (auto& entry : entries_)
            if (entry.first == key) return entry.second;
        return entries_.emplace_back(key, 0).second;
    }

private:
    std::vector<std::pair<std::uint32_t, std::uint32_t>> entries_;
};

// The pages the writer remembers; a write that fails puts them back as they were.
struct WriterPages {
    PageByKey insertPage;     // table definition page -> data page
    PageByKey longValuePage;  // column's owned-pages map (encoded) -> LVAL page
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
