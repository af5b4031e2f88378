// A set of page numbers as the check collects them from usage maps: in ascending order, as a map
// lists them, kept as a sorted array of four bytes a page (a tree of them took about forty, some
// 16 MB for the table of a cookbook near the format's limit).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zestrel::jet::check {

class PageSet {
public:
    using const_iterator = std::vector<std::uint32_t>::const_iterator;

    // Adds a page; one added out of order is put in its place, a repeat is ignored.
    void insert(std::uint32_t page) {
        if (pages_.empty() || page > pages_.back()) {
            pages_.push_back(page);
            return;
        }
        const auto at = std::lower_bound(pages_.begin(), pages_.end(), page);
        if (*at != page) pages_.insert(at, page);
    }
    std::size_t count(std::uint32_t page) const { return std::binary_search(pages_.begin(), pages_.end(), page) ? 1 : 0; }
    std::size_t size() const { return pages_.size(); }
    bool empty() const { return pages_.empty(); }
    const_iterator begin() const { return pages_.begin(); }
    const_iterator end() const { return pages_.end(); }

private:
    std::vector<std::uint32_t> pages_;
};

}  // namespace zestrel::jet::check
