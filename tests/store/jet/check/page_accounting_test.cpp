// The users the check finds for each page: every page keeps each user named for it, in the order
// named, however many pages share a name; the last user named is known; a page past the file's
// end is no one's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/jet/check/page_accounting.h"

namespace zestrel::jet::check {
namespace {

TEST(PageAccounting, EachPageKeepsItsUsersInTheOrderNamed) {
    PageAccounting accounting(1000);
    const std::string table = "table 'Ingredient'";
    const std::string memo = "table 'Recipe', column 'Prep'";
    for (std::uint32_t page = 10; page < 1000; ++page) accounting.use(page, table);
    accounting.use(20, memo);
    accounting.use(20, "usage maps");
    accounting.use(30, memo);
    accounting.use(1000, table);  // past the end: ignored

    EXPECT_FALSE(accounting.inUse(9));
    EXPECT_TRUE(accounting.usersOf(9).empty());
    EXPECT_EQ(accounting.usersOf(11), std::vector<std::string>{table});
    EXPECT_EQ(accounting.usersOf(20), (std::vector<std::string>{table, memo, "usage maps"}));
    EXPECT_EQ(accounting.usersOf(30), (std::vector<std::string>{table, memo}));
    EXPECT_TRUE(accounting.lastUserIs(11, table));
    EXPECT_FALSE(accounting.lastUserIs(20, table));
    EXPECT_TRUE(accounting.lastUserIs(20, "usage maps"));
    EXPECT_TRUE(accounting.lastUserIs(30, memo));
    EXPECT_FALSE(accounting.lastUserIs(9, table));
    EXPECT_FALSE(accounting.inUse(1000));
    EXPECT_EQ(accounting.pageCount(), 1000u);
}

}  // namespace
}  // namespace zestrel::jet::check
