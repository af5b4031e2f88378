// ParseQuantity on the worked examples and edge cases: numbers as
// single-precision values, texts exactly; a blank without a slash is read as a
// number or handed back, never erased.
#include <clocale>

#include <gtest/gtest.h>

#include "upgrade/parse_quantity.h"

namespace zestrel::dbFunction {
namespace {

struct QuantityCase {
    const char* name;
    std::u16string input;
    std::optional<float> number;  // set: a single-precision number; else `text`
    std::u16string text;
};

QuantityCase number(const char* name, std::u16string input, float value) { return {name, std::move(input), value, {}}; }
QuantityCase text(const char* name, std::u16string input, std::u16string value) {
    return {name, std::move(input), std::nullopt, std::move(value)};
}
QuantityCase unchanged(const char* name, std::u16string input) { return text(name, input, input); }

class Quantities : public ::testing::TestWithParam<QuantityCase> {};

TEST_P(Quantities, Parse) {
    const dao::Variant result = ParseQuantity(GetParam().input);
    if (GetParam().number) {
        ASSERT_EQ(result.kind(), dao::Variant::Kind::Single);
        EXPECT_EQ(std::get<float>(result.value()), *GetParam().number);  // exact single-precision value
    } else {
        ASSERT_EQ(result.kind(), dao::Variant::Kind::Text);
        EXPECT_EQ(result.toText(), GetParam().text);
    }
}

INSTANTIATE_TEST_SUITE_P(
    WorkedExamples, Quantities,
    ::testing::Values(number("Whole", u"2", 2.0f), number("Decimal", u"0.5", 0.5f), number("Fraction", u"3/4", 0.75f),
                      number("Third", u"1/3", 1.0f / 3.0f), number("Mixed", u"1 1/2", 1.5f), number("Mixed2", u"2 1/2", 2.5f),
                      number("MixedThirds", u"1 2/3", static_cast<float>(1.0 + static_cast<double>(2.0f / 3.0f))),
                      number("NegativeMixed", u"-1 1/2", -1.5f), number("TwoBlanks", u"1  1/2", 1.5f),
                      text("Empty", u"", u""), text("Starred", u"1*", u""), text("Star", u"*", u""),
                      unchanged("BlankNoSlash", u"1 cup"),                  // mended: handed back, not erased
                      number("TrailingBlank", u"2 ", 2.0f),                 // mended: blanks around a number
                      unchanged("SlashBeforeBlank", u"1/2 cup"), unchanged("MixedNoNumber", u"1 1/2 cups"),
                      unchanged("ByZero", u"1/0"), unchanged("NoNumerator", u"/2"), unchanged("TwoSlashes", u"1/2/3"),
                      unchanged("Word", u"abc")),
    [](const ::testing::TestParamInfo<QuantityCase>& param) { return std::string(param.param.name); });

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, Quantities,
    ::testing::Values(text("StarWins", u"1/2*", u""), unchanged("OnlyBlanks", u"   "),
                      number("LeadingBlank", u" 2", 2.0f), unchanged("LeadingBlankFraction", u" 1/2"),
                      number("BlankAfterDenominator", u"1 1/2 ", 1.5f), unchanged("ZeroByZero", u"0/0"),
                      unchanged("BeyondSingle", u"12345678901234567890123456789012345678901234567890"),
                      unchanged("HugeQuotient", u"300000000000000000000000000000000000000/0.001"),
                      number("SignedFraction", u"-1/4", -0.25f), unchanged("TwoPoints", u"1.2.3")),
    [](const ::testing::TestParamInfo<QuantityCase>& param) { return std::string(param.param.name); });

// The whole part's sign is the sign of the whole mixed number, however it is written.
INSTANTIATE_TEST_SUITE_P(
    SignedMixedNumbers, Quantities,
    ::testing::Values(number("MinusTwoAndThreeQuarters", u"-2 3/4", -2.75f), number("MinusZeroAndAHalf", u"-0 1/2", -0.5f),
                      number("PlusOneAndAHalf", u"+1 1/2", 1.5f), number("MinusWithTwoBlanks", u"-1  1/2", -1.5f),
                      number("MinusThirds", u"-1 2/3", static_cast<float>(-(1.0 + static_cast<double>(2.0f / 3.0f))))),
    [](const ::testing::TestParamInfo<QuantityCase>& param) { return std::string(param.param.name); });

TEST(QuantityLocale, ReadsTheLocalesDecimalSeparator) {
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    // Linux names its locales by language and country, the Windows C runtime by their English names.
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && !std::setlocale(LC_NUMERIC, "de_DE") &&
        !std::setlocale(LC_NUMERIC, "German_Germany.1252"))
        GTEST_SKIP() << "no German locale installed here";
    const auto comma = ParseQuantity(u"0,5");
    const auto point = ParseQuantity(u"0.5");
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(comma.kind(), dao::Variant::Kind::Single);
    EXPECT_EQ(point.kind(), dao::Variant::Kind::Text);
}

TEST(QuantityCalls, AreIndependent) {
    EXPECT_EQ(ParseQuantity(u"abc").toText(), u"abc");
    EXPECT_EQ(std::get<float>(ParseQuantity(u"3/4").value()), 0.75f);
    EXPECT_EQ(ParseQuantity(u"abc").toText(), u"abc");
}

}  // namespace
}  // namespace zestrel::dbFunction
