// Numbers written as text, as the engine writes them when a number goes into a text column
// (an amount of 100 must read "100", not "1E+02").
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

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
                                           NumberCase{0, 7, "0"},
                                           // more digits than a Single shows: rounded by the C library
                                           NumberCase{1.23456789e-10f, 7, "1.234568E-10"},
                                           NumberCase{9.87654321e20f, 7, "9.876543E+20"}));

INSTANTIATE_TEST_SUITE_P(Double, NumberAsText,
                         ::testing::Values(NumberCase{100, 15, "100"}, NumberCase{0.1, 15, "0.1"},
                                           NumberCase{123456789012345, 15, "123456789012345"},
                                           NumberCase{1e15, 15, "1E+15"}, NumberCase{0.1 + 0.2, 15, "0.3"},
                                           NumberCase{2.5e-7, 15, "2.5E-07"},
                                           // more digits than a Double shows: rounded by the C library
                                           NumberCase{1.2345678901234567e20, 15, "1.23456789012346E+20"},
                                           NumberCase{-1.2345678901234567e-20, 15, "-1.23456789012346E-20"},
                                           NumberCase{1.2345678901234567e100, 15, "1.23456789012346E+100"}));

// Random numbers across the magnitudes: the text reads back as the value the C library's
// 7- (or 15-) digit form gives, and is written out in full exactly where that is expected.
TEST(NumberAsTextProperty, AgreesWithTheCLibraryOnRandomNumbers) {
    std::mt19937_64 random(20261207);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-9, 18);
    for (int i = 0; i < 20000; ++i) {
        const double x = mantissa(random) * std::pow(10.0, exponent(random));
        for (const int digits : {7, 15}) {
            const double value = digits == 7 ? static_cast<double>(static_cast<float>(x)) : x;
            const std::string text = formatNumber(value, digits);
            char reference[64];
            std::snprintf(reference, sizeof reference, "%.*G", digits, value);
            // The same number of the type it came from (a Single's shortest form may have fewer digits).
            const double read = std::strtod(text.c_str(), nullptr);
            const double expected = std::strtod(reference, nullptr);
            if (digits == 7)
                ASSERT_EQ(static_cast<float>(read), static_cast<float>(expected)) << text << " vs " << reference;
            else
                ASSERT_EQ(read, expected) << text << " vs " << reference;
            const double magnitude = std::fabs(std::strtod(reference, nullptr));
            const bool inFull = magnitude == 0 || (magnitude >= 1e-4 && magnitude < std::pow(10.0, digits));
            ASSERT_EQ(text.find('E') == std::string::npos, inFull) << text;
        }
    }
}

// Whole numbers below the shown digit count are written in full, and exactly as the C library's
// form writes them; -0 keeps its sign, as there.
TEST(NumberAsTextProperty, WholeNumbersAreTheirDigits) {
    std::mt19937_64 random(7);
    for (const int digits : {7, 15}) {
        std::vector<double> values{-0.0, 0.0, 1.0, -1.0, std::pow(10.0, digits) - 1, -(std::pow(10.0, digits) - 1)};
        std::uniform_int_distribution<int> length(1, digits);
        for (int i = 0; i < 2000; ++i) {
            const double bound = std::pow(10.0, length(random));
            values.push_back(std::trunc(std::uniform_real_distribution<double>(-bound, bound)(random)));
        }
        for (const double value : values) {
            char reference[64];
            std::snprintf(reference, sizeof reference, "%.*G", digits, value);
            ASSERT_EQ(formatNumber(value, digits), reference) << value;
        }
    }
}

int significantDigits(const std::string& text) {
    int count = 0;
    for (const char c : text)
        if (c >= '0' && c <= '9' && (count > 0 || c != '0')) ++count;
    return count;
}

// Numbers with a short decimal form, as amounts have (1.5, 0.25, 12.125): written in full, reading
// back as the same number of their type, with no digit more than that needs.
TEST(NumberAsTextProperty, ShortDecimalsAreWrittenInFullWithTheFewestDigits) {
    std::mt19937_64 random(42);
    for (const int digits : {7, 15}) {
        for (int i = 0; i < 5000; ++i) {
            const int length = std::uniform_int_distribution<int>(1, digits)(random);
            const auto largest = static_cast<long long>(std::pow(10.0, length)) - 1;
            const auto mantissa = std::uniform_int_distribution<long long>(1, largest)(random);
            const int exponent = std::uniform_int_distribution<int>(-4 - length, digits - length)(random);
            // The number nearest the decimal, as the type holds it.
            const std::string decimal = std::to_string(mantissa) + "e" + std::to_string(exponent);
            const double value = digits == 7 ? static_cast<double>(std::strtof(decimal.c_str(), nullptr))
                                             : std::strtod(decimal.c_str(), nullptr);
            if (std::fabs(value) < 1e-4 || std::fabs(value) >= std::pow(10.0, digits)) continue;
            const std::string text = formatNumber(value, digits);
            ASSERT_EQ(text.find('E'), std::string::npos) << text;
            const double read = std::strtod(text.c_str(), nullptr);
            if (digits == 7) ASSERT_EQ(static_cast<float>(read), static_cast<float>(value)) << text;
            else ASSERT_EQ(read, value) << text;
            const int significant = significantDigits(text);
            ASSERT_LE(significant, digits) << text;
            if (significant < 2 || value == std::trunc(value)) continue;  // whole numbers are written in full
            char fewer[400];
            std::snprintf(fewer, sizeof fewer, "%.*G", significant - 1, value);
            const double shorter = std::strtod(fewer, nullptr);
            if (digits == 7)
                ASSERT_NE(static_cast<float>(shorter), static_cast<float>(value)) << text << " could be " << fewer;
            else
                ASSERT_NE(shorter, value) << text << " could be " << fewer;
        }
    }
}

struct WholeCase {
    Variant value;
    std::u16string text;
};

class WholeNumberAsText : public ::testing::TestWithParam<WholeCase> {};

TEST_P(WholeNumberAsText, IsItsDigits) { EXPECT_EQ(GetParam().value.toText(), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    EachKind, WholeNumberAsText,
    ::testing::Values(WholeCase{Variant(std::uint8_t{255}), u"255"}, WholeCase{Variant(std::uint8_t{0}), u"0"},
                      WholeCase{Variant(std::int16_t{-32768}), u"-32768"}, WholeCase{Variant(std::int16_t{7}), u"7"},
                      WholeCase{Variant(std::int32_t{-2147483647 - 1}), u"-2147483648"},
                      WholeCase{Variant(std::int32_t{2147483647}), u"2147483647"},
                      WholeCase{Variant(1.5f), u"1.5"}, WholeCase{Variant(3.0f), u"3"},
                      WholeCase{Variant(-0.25), u"-0.25"}));

}  // namespace
}  // namespace zestrel::dao
