// Who uses each page, as the checker finds out: a page is in use when a
// structure names it (a table's owned map, a column's map, a definition, an
// index, a map row or map page), free when the global map says so, and lost
// when neither.
//
// A page's users are kept as numbers of names said once (four bytes a page
// for its first user; the few pages with more keep the rest apart), so that a
// file of any size is accounted for in memory a fraction of its own.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/jet/check/page_set.h"

namespace zestrel::jet::check {

class PageAccounting {
public:
    explicit PageAccounting(std::uint32_t pageCount) : firstUser_(pageCount, kNobody) {}

    void use(std::uint32_t page, const std::string& who) {
        if (page >= firstUser_.size()) return;
        const std::uint32_t id = idOf(who);
        if (firstUser_[page] == kNobody) firstUser_[page] = id;
        else moreUsers_[page].push_back(id);
    }
    // The users of `page`, in the order they were named.
    std::vector<std::string> usersOf(std::uint32_t page) const {
        std::vector<std::string> users;
        if (firstUser_.at(page) == kNobody) return users;
        users.push_back(names_[firstUser_[page]]);
        if (const auto more = moreUsers_.find(page); more != moreUsers_.end())
            for (const std::uint32_t id : more->second) users.push_back(names_[id]);
        return users;
    }
    bool inUse(std::uint32_t page) const { return page < firstUser_.size() && firstUser_[page] != kNobody; }
    // Whether `who` is the user named last for `page`.
    bool lastUserIs(std::uint32_t page, const std::string& who) const {
        if (!inUse(page)) return false;
        const auto more = moreUsers_.find(page);
        return names_[more == moreUsers_.end() ? firstUser_[page] : more->second.back()] == who;
    }

    void setFree(PageSet pages) { freePages_ = std::move(pages); }
    bool isFree(std::uint32_t page) const { return freePages_.count(page) != 0; }
    const PageSet& freePages() const { return freePages_; }
    std::uint32_t pageCount() const { return static_cast<std::uint32_t>(firstUser_.size()); }

private:
    static constexpr std::uint32_t kNobody = 0xFFFFFFFF;

    std::uint32_t idOf(const std::string& who) {
        const auto [at, added] = ids_.try_emplace(who, static_cast<std::uint32_t>(names_.size()));
        if (added) names_.push_back(who);
        return at->second;
    }

    std::vector<std::uint32_t> firstUser_;  // by page: the number of its first user's name
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> moreUsers_;  // by page
    std::vector<std::string> names_;
    std::unordered_map<std::string, std::uint32_t> ids_;
    PageSet freePages_;
};

}  // namespace zestrel::jet::check
