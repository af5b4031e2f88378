#include "store/jet/page_allocator.h"

#include <vector>

#include "store/jet/data_page_builder.h"

namespace zestrel::jet {

std::uint32_t allocatePage(PageFile& pages, const Format& f) {
    const std::uint32_t number = pages.appendPage();
    if (number > kGlobalUsageMap.page) takeFromGlobalMap(pages, f, number);
    return number;
}

void startUsageMapPage(PageFile& pages, const Format& f, WriterState& state) {
    state.usageMapPage = allocatePage(pages, f);
    initDataPage(pages.mutablePage(state.usageMapPage), f, 0);
}

RowPointer newUsageMap(PageFile& pages, const Format& f, WriterState& state) {
    const auto row = emptyInlineMapRow();
    if (state.usageMapPage != 0) {
        if (auto slot = appendRow(pages.mutablePage(state.usageMapPage), f, row)) return {state.usageMapPage, *slot};
    }
    startUsageMapPage(pages, f, state);
    return {state.usageMapPage, *appendRow(pages.mutablePage(state.usageMapPage), f, row)};
}

}  // namespace zestrel::jet
