// Who uses each page, as the checker finds out: a page is in use when a
// structure names it (a table's owned map, a column's map, a definition, an
// index, a map row or map page), free when the global map says so, and lost
// when neither.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace zestrel::jet::check {

class PageAccounting {
public:
    explicit PageAccounting(std::uint32_t pageCount) : users_(pageCount), freePages_() {}

    void use(std::uint32_t page, const std::string& who) {
        if (page < users_.size()) users_[page].push_back(who);
    }
    const std::vector<std::string>& usersOf(std::uint32_t page) const { return users_.at(page); }
    bool inUse(std::uint32_t page) const { return page < users_.size() && !users_[page].empty(); }

    void setFree(std::set<std::uint32_t> pages) { freePages_ = std::move(pages); }
    bool isFree(std::uint32_t page) const { return freePages_.count(page) != 0; }
    const std::set<std::uint32_t>& freePages() const { return freePages_; }
    std::uint32_t pageCount() const { return static_cast<std::uint32_t>(users_.size()); }

private:
    std::vector<std::vector<std::string>> users_;
    std::set<std::uint32_t> freePages_;
};

}  // namespace zestrel::jet::check
