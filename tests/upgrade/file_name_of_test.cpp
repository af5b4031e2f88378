#include "upgrade/file_name_of.h"

#include <gtest/gtest.h>

#include "store/jet/failure.h"
#include "upgrade/frm_main_upgrade.h"

namespace zestrel {
namespace {

TEST(FileNameOf, TakesThePartAfterTheLastSeparator) {
    EXPECT_EQ(dbFunction::FileNameOf(u"D:\\Meals\\family.rcp"), u"family.rcp");
    EXPECT_EQ(dbFunction::FileNameOf(u"/home/ann/Meals/Family.RCP"), u"Family.RCP");
    EXPECT_EQ(dbFunction::FileNameOf(u"family.rcp"), u"family.rcp");
    EXPECT_EQ(dbFunction::FileNameOf(u"/home/ann/"), u"");
    EXPECT_EQ(dbFunction::FileNameOf(u"a\\b/c"), u"c");
}

struct PercentCase {
    std::int32_t counter, recipes, ingredients;
    int percent;
};

class Progress : public ::testing::TestWithParam<PercentCase> {};

TEST_P(Progress, RoundsHalvesToEven) {
    EXPECT_EQ(progressPercent(GetParam().counter, GetParam().recipes, GetParam().ingredients), GetParam().percent);
}

INSTANTIATE_TEST_SUITE_P(Cases, Progress,
                         ::testing::Values(PercentCase{1, 3, 5, 12}, PercentCase{3, 3, 5, 38}, PercentCase{5, 3, 5, 62},
                                           PercentCase{-1, 0, 4, -25}, PercentCase{0, 0, 4, 0},
                                           // No overflow near 21 million rows and beyond:
                                           PercentCase{25'000'000, 30'000'000, 0, 83},
                                           PercentCase{2'000'000'000, 2'100'000'000, 47'000'000, 93}));

TEST(Progress, FailsAsTheArithmeticDoes) {
    EXPECT_THROW(progressPercent(0, 0, 0), Failure);       // division by zero
    EXPECT_THROW(progressPercent(1000, 1, 0), Failure);    // beyond 16 bits
}

}  // namespace
}  // namespace zestrel
