// What the writer remembers between calls on one open database, so that
// adding a row does not search the file: each table's page for new rows, the
// page new long values go to, and the page new usage maps go to.
#pragma once

#include <cstdint>
#include <map>

namespace zestrel::jet {

struct WriterState {
    std::map<std::uint32_t, std::uint32_t> insertPage;  // table definition page -> data page, 0 when unknown
    std::uint32_t longValuePage = 0;
    std::uint32_t usageMapPage = 0;
};

}  // namespace zestrel::jet
