#include "store/jet/sort_key.h"

#include <gtest/gtest.h>

namespace zestrel::jet {
namespace {

struct OrderCase {
    std::u16string a;
    std::u16string b;
    int expected;  // sign of compareGeneral(a, b)
};

class GeneralOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(GeneralOrder, ComparesLikeTheGeneralSortOrder) {
    const int result = compareGeneral(GetParam().a, GetParam().b);
    EXPECT_EQ((result > 0) - (result < 0), GetParam().expected);
    const int reverse = compareGeneral(GetParam().b, GetParam().a);
    EXPECT_EQ((reverse > 0) - (reverse < 0), -GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeneralOrder,
    ::testing::Values(OrderCase{u"apple", u"Banana", -1},       // case does not lead
                      OrderCase{u"ABC", u"abc", 0},              // case never decides
                      OrderCase{u"9", u"a", -1},                 // digits before letters
                      OrderCase{u"10", u"9", -1},                // texts, not numbers
                      OrderCase{u" x", u"1", -1},                // punctuation before digits
                      OrderCase{u"\u00E9t\u00E9", u"ete", 1},    // accent is a second-level difference
                      OrderCase{u"\u00E9t\u00E9", u"etf", -1},   // ...below the letters
                      OrderCase{u"\u00C9T\u00C9", u"\u00E9t\u00E9", 0},
                      OrderCase{u"co-op", u"coop", 1},           // hyphen ignored first, decides last
                      OrderCase{u"co-op", u"cop", -1},
                      OrderCase{u"stra\u00DFe", u"strasse", 0},  // ß counts as ss
                      OrderCase{u"\u00E6on", u"aeon", 0},
                      OrderCase{u"", u"a", -1},
                      OrderCase{u"zebra", u"\u0416", -1}));      // other scripts after Latin letters

TEST(NameMatching, IgnoresCaseOnly) {
    EXPECT_TRUE(equalsIgnoringCase(u"MSysObjects", u"msysobjects"));
    EXPECT_TRUE(equalsIgnoringCase(u"\u00C9t\u00E9", u"\u00E9T\u00C9"));
    EXPECT_FALSE(equalsIgnoringCase(u"Recipe", u"Recipes"));
    EXPECT_FALSE(equalsIgnoringCase(u"ete", u"\u00E9t\u00E9"));
}

// Keys compared as bytes must order every pair of texts exactly as compareGeneral does,
// ties included: texts are drawn from letters of both cases, accented and folded letters,
// digits, ignored characters, punctuation and characters outside code page 1252.
TEST(GeneralSortKey, OrdersEveryPairAsTheComparisonDoes) {
    const std::u16string alphabet = u"aAbBzZ09 .,-'\u00AD\u00E9\u00C9\u00DF\u00E6\u0153\u0160\u00D7\u2014\u0416\u4E2D";
    std::uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7FFF;
    };
    std::vector<std::u16string> texts{u"", u"ss", u"\u00DF", u"coop", u"co-op", u"ae", u"\u00E6"};
    for (int i = 0; i < 400; ++i) {
        std::u16string text;
        for (std::uint32_t n = next() % 6; n > 0; --n) text.push_back(alphabet[next() % alphabet.size()]);
        texts.push_back(text);
    }
    std::vector<std::string> keys;
    for (const auto& text : texts) {
        keys.emplace_back();
        appendGeneralSortKey(text, keys.back());
    }
    for (std::size_t i = 0; i < texts.size(); ++i) {
        for (std::size_t j = 0; j < texts.size(); ++j) {
            const int expected = compareGeneral(texts[i], texts[j]);
            const int byKey = keys[i].compare(keys[j]);
            ASSERT_EQ((expected > 0) - (expected < 0), (byKey > 0) - (byKey < 0))
                << "text " << i << " against text " << j;
        }
    }
}

}  // namespace
}  // namespace zestrel::jet
