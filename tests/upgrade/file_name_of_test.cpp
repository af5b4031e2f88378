#include "upgrade/file_name_of.h"

#include <gtest/gtest.h>

#include "store/jet/failure.h"
#include "upgrade/frm_main_upgrade.h"

namespace zestrel {
namespace {

struct NameCase {
    const char* name;
    std::u16string path;
    std::u16string onWindows;
    std::u16string elsewhere;
};

class FileNames : public ::testing::TestWithParam<NameCase> {};

// "\\" separates only where the system's paths use it; elsewhere it is part of a name.
TEST_P(FileNames, AreThePartAfterTheLastSeparator) {
#ifdef _WIN32
    EXPECT_EQ(dbFunction::FileNameOf(GetParam().path), GetParam().onWindows);
#else
    EXPECT_EQ(dbFunction::FileNameOf(GetParam().path), GetParam().elsewhere);
#endif
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, FileNames,
    ::testing::Values(NameCase{"WindowsPath", u"D:\\Meals\\family.rcp", u"family.rcp", u"D:\\Meals\\family.rcp"},
                      NameCase{"SlashPath", u"/home/ann/Meals/Family.RCP", u"Family.RCP", u"Family.RCP"},
                      NameCase{"NameAlone", u"family.rcp", u"family.rcp", u"family.rcp"},
                      NameCase{"EndsInSlash", u"/home/ann/", u"", u""},
                      NameCase{"Mixed", u"a\\b/c", u"c", u"c"},
                      NameCase{"BackslashInAName", u"/home/ann/my\\book.rcp", u"book.rcp", u"my\\book.rcp"},
                      NameCase{"EndsInBackslash", u"/home/ann/book\\", u"", u"book\\"}),
    [](const auto& param) { return std::string(param.param.name); });

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
