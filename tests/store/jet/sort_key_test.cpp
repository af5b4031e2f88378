#include "store/jet/sort_key.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "store/jet/index_key.h"
#include "support/fixtures.h"
#include "support/genuine_text_indexes.h"
#include "text/code_page.h"
#include "text/utf8.h"

namespace zestrel::jet {
namespace {

int sign(int value) { return (value > 0) - (value < 0); }

struct OrderCase {
    std::u16string a;
    std::u16string b;
    int expected;  // sign of compareGeneral(a, b)
};

class GeneralOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(GeneralOrder, ComparesLikeTheGeneralSortOrder) {
    EXPECT_EQ(sign(compareGeneral(GetParam().a, GetParam().b)), GetParam().expected);
    EXPECT_EQ(sign(compareGeneral(GetParam().b, GetParam().a)), -GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GeneralOrder,
    ::testing::Values(OrderCase{u"apple", u"Banana", -1},       // case does not lead
                      OrderCase{u"ABC", u"abc", 0},              // case never decides
                      OrderCase{u"\u00C0", u"\u00E0", 0},        // nor for accented letters
                      OrderCase{u"\u0160", u"\u0161", 0},
                      OrderCase{u"9", u"a", -1},                 // digits before letters
                      OrderCase{u"10", u"9", -1},                // texts, not numbers
                      OrderCase{u" x", u"1", -1},                // punctuation before digits
                      OrderCase{u"\u00E9t\u00E9", u"ete", 1},    // accent is a second-level difference
                      OrderCase{u"\u00E9t\u00E9", u"etf", -1},   // ...below the letters
                      OrderCase{u"\u00C0", u"\u00E1", -1},       // grave before acute, whatever the case
                      OrderCase{u"\u00E1", u"\u00C2", -1},       // acute before circumflex
                      OrderCase{u"e\u00E9a", u"\u00E9ea", -1},   // the first accent decides
                      OrderCase{u"co-op", u"coop", -1},          // a hyphen weighs as punctuation
                      OrderCase{u"AA-AA", u"AAA", -1},
                      OrderCase{u"A'B", u"AB", -1},              // so does an apostrophe
                      OrderCase{u"a\u2013b", u"a-b", 0},         // the en dash and the soft hyphen weigh as hyphens
                      OrderCase{u"a\u00ADb", u"a-b", 0},
                      OrderCase{u"\u2018q\u2019", u"'q'", 0},    // curly quotes as straight ones
                      OrderCase{u"\u00ABq\u00BB", u"\"q\"", 0},
                      OrderCase{u"x\u00B3", u"x3", 0},           // superscript digits as digits
                      OrderCase{u"a\tb", u"a b", 0},             // a tab weighs as a space
                      OrderCase{u"a\nb", u"a b", -1},            // other control characters before every character
                      OrderCase{u"a\x7F", u"a\n", 0},            // DEL among them
                      OrderCase{u"a\x01", u"a", 1},
                      OrderCase{u"abc  ", u"abc", 0},            // trailing spaces weigh nothing
                      OrderCase{u"stra\u00DFe", u"strasse", 0},  // ß counts as ss
                      OrderCase{u"\u00E6on", u"aeon", 0},
                      OrderCase{u"R\u00F6ssle", u"R\u00F8gede", -1},  // ø a letter after z, ö an o
                      OrderCase{u"z", u"\u00D8", -1},
                      OrderCase{u"", u"a", -1},
                      OrderCase{u"a", u"a\u0416", -1},
                      OrderCase{u"zebra", u"\u0416", -1}));      // other scripts after Latin letters

// The genuine engine's own keys: every entry of every index with a Text column of the genuine Jet 3
// files is, byte for byte, the key this engine builds from the entry's row.
TEST(GenuineKeys, EveryTextIndexEntryIsTheKeyThisEngineBuilds) {
    ZESTREL_REQUIRE_SHARED();
    std::size_t compared = 0;
    std::size_t accented = 0;
    for (const auto& index : test::genuineTextIndexes()) {
        for (const auto& entry : index.entries) {
            std::vector<std::uint8_t> ours;
            for (std::size_t i = 0; i < entry.values.size(); ++i) {
                const Value& value = entry.values[i];
                const std::size_t start = ours.size();
                if (isNull(value)) ours.push_back(kKeyNull);
                else if (const auto* number = std::get_if<std::int32_t>(&value)) appendLongKey(ours, *number);
                else ASSERT_TRUE(appendTextKey(ours, std::get<std::u16string>(value))) << index.where;
                // A descending column's key is the ascending one with every bit turned.
                if (index.descending[i])
                    for (std::size_t at = start; at < ours.size(); ++at) ours[at] = static_cast<std::uint8_t>(~ours[at]);
                if (const auto* text = std::get_if<std::u16string>(&value))
                    accented += std::any_of(text->begin(), text->end(), [](char16_t c) { return c >= 0x80; }) ? 1 : 0;
            }
            ASSERT_EQ(ours, entry.key) << index.where << ", row " << entry.row.page << ":" << int(entry.row.row);
            ++compared;
        }
    }
    EXPECT_GT(compared, 3000u);
    EXPECT_GT(accented, 50u) << "the genuine files hold accented names in indexed columns";
}

// Every character of code page 1252 has a key; a character the page lacks has none.
TEST(GeneralKeys, EveryCharacterOfTheCodePageHasOne) {
    const std::vector<std::uint8_t> everyByte = [] {
        std::vector<std::uint8_t> bytes;
        for (int b = 1; b < 256; ++b) bytes.push_back(static_cast<std::uint8_t>(b));
        return bytes;
    }();
    const std::u16string all = text::westernEuropean().decode(everyByte);
    for (char16_t c : all) {
        std::vector<std::uint8_t> key;
        EXPECT_TRUE(appendTextKey(key, std::u16string(1, c))) << std::hex << int(c);
    }
    std::vector<std::uint8_t> key;
    EXPECT_FALSE(appendTextKey(key, u"\u0416"));
    EXPECT_TRUE(key.empty());
}

// Texts of digits and plain letters are keyed the short way; the key must be the one the whole
// order gives, whether the text comes as UTF-16 or as stored single-byte characters.
TEST(GeneralKeys, PlainTextsKeyAsTheWholeOrder) {
    const std::u16string plain = u"aAbBcCdDlLmMnNoOsSuUyYzZ0159";
    std::uint32_t state = 12345;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7FFF;
    };
    for (int i = 0; i < 300; ++i) {
        std::u16string text;
        for (std::uint32_t n = next() % 7; n > 0; --n) text.push_back(plain[next() % plain.size()]);
        std::string general = "prefix";
        appendGeneralSortKey(text, general);
        std::vector<std::uint8_t> indexKey;
        ASSERT_TRUE(appendTextKey(indexKey, text));
        ASSERT_EQ(general, "prefix" + std::string(indexKey.begin() + 1, indexKey.end())) << text::toUtf8(text);
        const std::vector<std::uint8_t> stored(text.begin(), text.end());
        std::string fromBytes = "prefix";
        ASSERT_TRUE(appendPlainSortKey(stored, fromBytes));
        ASSERT_EQ(fromBytes, general);
    }
    for (const char* other : {"a b", "a-b", "\xE9", "a\t"}) {
        const std::string bytes(other);
        std::string out = "prefix";
        EXPECT_FALSE(appendPlainSortKey(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), out));
        EXPECT_EQ(out, "prefix");
    }
}

TEST(NameMatching, IgnoresCaseOnly) {
    EXPECT_TRUE(equalsIgnoringCase(u"MSysObjects", u"msysobjects"));
    EXPECT_TRUE(equalsIgnoringCase(u"\u00C9t\u00E9", u"\u00E9T\u00C9"));
    EXPECT_FALSE(equalsIgnoringCase(u"Recipe", u"Recipes"));
    EXPECT_FALSE(equalsIgnoringCase(u"ete", u"\u00E9t\u00E9"));
}

}  // namespace
}  // namespace zestrel::jet
