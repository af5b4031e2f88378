// Numbers written as text, as the engine writes them when a number goes into a text column
// (an amount of 100 must read "100", not "1E+02").
#include <gtest/gtest.h>

#include <string>

#include "store/dao/variant.h"

namespace zestrel::dao {
namespace {

struct NumberCase {
    double value;
    int digits;
    const char* text;
};

class NumberAsText : public ::testing::TestWithParam<NumberCase> {};

TEST_P(NumberAsText, KeepsTheValueInTheEnginesForm) {
    EXPECT_EQ(formatNumber(GetParam().value, GetParam().digits), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Single, NumberAsText,
                         ::testing::Values(NumberCase{100, 7, "100"}, NumberCase{10, 7, "10"},
                                           NumberCase{1500, 7, "1500"}, NumberCase{120, 7, "120"},
                                           NumberCase{2, 7, "2"}, NumberCase{0.75, 7, "0.75"},
                                           NumberCase{1.0f / 3.0f, 7, "0.3333333"},
                                           NumberCase{1234567, 7, "1234567"}, NumberCase{9999999, 7, "9999999"},
                                           NumberCase{1e7, 7, "1E+07"}, NumberCase{12345678, 7, "1.234568E+07"},
                                           NumberCase{0.0001f, 7, "0.0001"}, NumberCase{0.00001f, 7, "1E-05"},
                                           NumberCase{-250, 7, "-250"}, NumberCase{0.1f, 7, "0.1"},
                                           NumberCase{0, 7, "0"}));

INSTANTIATE_TEST_SUITE_P(Double, NumberAsText,
                         ::testing::Values(NumberCase{100, 15, "100"}, NumberCase{0.1, 15, "0.1"},
                                           NumberCase{123456789012345, 15, "123456789012345"},
                                           NumberCase{1e15, 15, "1E+15"}, NumberCase{0.1 + 0.2, 15, "0.3"},
                                           NumberCase{2.5e-7, 15, "2.5E-07"}));

}  // namespace
}  // namespace zestrel::dao
