// Natural order as its keys give it: each pair's first text comes strictly before its second, and
// texts that differ only in case or leading zeros compare equal.
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "text/natural_order.h"

namespace zestrel::test {
namespace {

std::string keyOf(std::optional<std::u16string> text) {
    std::string key;
    text::appendNaturalKey(key, text ? std::optional<std::u16string_view>(*text) : std::nullopt);
    return key;
}

struct Before {
    const char* name;
    std::optional<std::u16string> first;
    std::optional<std::u16string> second;
};

class NaturalOrder : public ::testing::TestWithParam<Before> {};

TEST_P(NaturalOrder, TheFirstComesBeforeTheSecond) {
    EXPECT_LT(keyOf(GetParam().first), keyOf(GetParam().second));
    EXPECT_GT(keyOf(GetParam().second), keyOf(GetParam().first));
}

INSTANTIATE_TEST_SUITE_P(
    , NaturalOrder,
    ::testing::Values(Before{"NumbersByValue", u"R-2", u"R-10"}, Before{"PlainNumbers", u"9", u"10"},
                      Before{"ALongerNumberIsLarger", u"99999999999999999999", u"100000000000000000000"},
                      Before{"SecondNumberDecides", u"R-2-10", u"R-10-2"}, Before{"ThenTheText", u"R-2a", u"R-2b"},
                      Before{"APrefixFirst", u"R", u"R-1"}, Before{"NumberBeforeLetter", u"1a", u"a1"},
                      Before{"EmptyBeforeAnyText", u"", u"0"}, Before{"NullBeforeEmpty", std::nullopt, u""},
                      Before{"LettersAcrossCase", u"apple", u"Banana"}, Before{"BeyondAscii", u"Zupa", u"\u017Bur"},
                      Before{"LeadingZerosThenMore", u"007", u"7a"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(NaturalOrderKeys, CaseAndLeadingZerosAside) {
    EXPECT_EQ(keyOf(u"R-007"), keyOf(u"r-7"));
    EXPECT_EQ(keyOf(u"\u0141\u00F3d\u017A"), keyOf(u"\u0142\u00D3D\u0179"));
    EXPECT_NE(keyOf(u"R-7"), keyOf(u"R-7 "));
}

// Keys appended one after another compare as their first texts, then as the second.
TEST(NaturalOrderKeys, JoinedKeysCompareTextByText) {
    const auto joined = [](std::u16string a, std::u16string b) {
        std::string key;
        text::appendNaturalKey(key, a);
        text::appendNaturalKey(key, b);
        return key;
    };
    EXPECT_LT(joined(u"R", u"9"), joined(u"R-1", u"1"));
    EXPECT_LT(joined(u"R-1", u"2"), joined(u"R-1", u"10"));
    EXPECT_LT(joined(u"R-1", u"99"), joined(u"R-2", u"1"));
}

}  // namespace
}  // namespace zestrel::test
