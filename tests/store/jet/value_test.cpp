#include "store/jet/value.h"

#include <gtest/gtest.h>

namespace zestrel::jet {
namespace {

struct DateCase {
    double days;
    const char* text;
};

class DateText : public ::testing::TestWithParam<DateCase> {};

TEST_P(DateText, FormatsToTheNearestSecond) { EXPECT_EQ(formatDateTime({GetParam().days}), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(Cases, DateText,
                         ::testing::Values(DateCase{0.0, "1899-12-30T00:00:00"},
                                           DateCase{1.5, "1899-12-31T12:00:00"},
                                           DateCase{-1.25, "1899-12-29T06:00:00"},  // time counts forward
                                           DateCase{36526.0, "2000-01-01T00:00:00"},
                                           DateCase{36585.0, "2000-02-29T00:00:00"},
                                           DateCase{2.0 - 0.2 / 86400, "1900-01-01T00:00:00"},  // rounds up a day
                                           DateCase{29932.0, "1981-12-12T00:00:00"}));

TEST(DateText, MakeDateTimeIsTheInverse) {
    EXPECT_EQ(formatDateTime(makeDateTime(2026, 12, 7, 13, 45, 30)), "2026-12-07T13:45:30");
    EXPECT_EQ(formatDateTime(makeDateTime(1850, 6, 1, 6, 0, 0)), "1850-06-01T06:00:00");
}

TEST(Currency, PrintsExactDecimals) {
    EXPECT_EQ(formatCurrency({35000}), "3.5");
    EXPECT_EQ(formatCurrency({-1}), "-0.0001");
    EXPECT_EQ(formatCurrency({0}), "0");
    EXPECT_EQ(formatCurrency({INT64_MIN}), "-922337203685477.5808");
}

TEST(Decimal, PrintsWithItsScale) {
    Decimal d;
    d.words = {0, 0, 0, 1250};
    d.scale = 2;
    EXPECT_EQ(formatDecimal(d), "12.50");
    d.negative = true;
    EXPECT_EQ(formatDecimal(d), "-12.50");
    d.words = {0, 0, 1, 0};  // 2^32
    d.scale = 0;
    EXPECT_EQ(formatDecimal(d), "-4294967296");
    d.words = {};
    EXPECT_EQ(formatDecimal(d), "0");
}

TEST(GuidText, SwapsTheFirstThreeGroups) {
    Guid g;
    for (int i = 0; i < 16; ++i) g.bytes[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(formatGuid(g), "{03020100-0504-0706-0809-0A0B0C0D0E0F}");
}

}  // namespace
}  // namespace zestrel::jet
