#include "store/jet/sort_key.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "store/jet/database_file.h"
#include "store/jet/index_key.h"
#include "store/jet/row_decoder.h"
#include "support/fixtures.h"
#include "support/index_leaves.h"
#include "support/stored_rows.h"
#include "text/utf8.h"

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
                      OrderCase{u"co-op", u"coop", -1},          // a hyphen weighs as punctuation
                      OrderCase{u"co-op", u"cop", -1},
                      OrderCase{u"AA-AA", u"AAA", -1},
                      OrderCase{u"A'B", u"AB", -1},              // so does an apostrophe
                      OrderCase{u"a b", u"a'b", -1},             // punctuation in code order
                      OrderCase{u"a'b", u"a-b", -1},
                      OrderCase{u"stra\u00DFe", u"strasse", 0},  // ß counts as ss
                      OrderCase{u"\u00E6on", u"aeon", 0},
                      OrderCase{u"R\u00F6ssle", u"R\u00F8gede", -1},  // ø a letter after z, ö an o
                      OrderCase{u"z", u"\u00D8", -1},
                      OrderCase{u"", u"a", -1},
                      OrderCase{u"zebra", u"\u0416", -1}));      // other scripts after Latin letters

int sign(int value) { return (value > 0) - (value < 0); }

int compareBytes(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Texts drawn from `alphabet`, each up to five characters long, with every single character.
std::vector<std::u16string> textsOf(const std::u16string& alphabet, int count) {
    std::vector<std::u16string> texts{u""};
    for (char16_t c : alphabet) texts.emplace_back(1, c);
    std::uint32_t state = 2024;
    const auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return (state >> 16) & 0x7FFF;
    };
    for (int i = 0; i < count; ++i) {
        std::u16string text;
        for (std::uint32_t n = 1 + next() % 5; n > 0; --n) text.push_back(alphabet[next() % alphabet.size()]);
        texts.push_back(text);
    }
    return texts;
}

// The engine's index keys of printable ASCII texts, one code a character: texts compare as their
// keys do, hyphen and apostrophe included.
TEST(GeneralOrderAndKeys, AgreesWithTheEnginesKeysOfEveryPrintableCharacter) {
    std::u16string ascii;
    for (char16_t c = 0x20; c <= 0x7E; ++c) ascii.push_back(c);
    const auto texts = textsOf(ascii, 300);
    std::vector<std::vector<std::uint8_t>> keys;
    for (const auto& text : texts) {
        keys.emplace_back();
        ASSERT_TRUE(appendTextKey(keys.back(), text));
    }
    for (std::size_t i = 0; i < texts.size(); ++i)
        for (std::size_t j = 0; j < texts.size(); ++j)
            ASSERT_EQ(sign(compareGeneral(texts[i], texts[j])), sign(compareBytes(keys[i], keys[j])))
                << text::toUtf8(texts[i]) << " against " << text::toUtf8(texts[j]);
}

// The genuine engine's own keys: in every ascending index on one Text column of the genuine Jet 3
// files, any two entries' texts compare as their key bytes do (equal keys, equal texts).
TEST(GeneralOrderAndKeys, OrdersTheTextsOfGenuineIndexesAsTheEnginesKeys) {
    ZESTREL_REQUIRE_SHARED();
    std::size_t compared = 0;
    for (const char* name : {"nwind97.mdb", "indexTestV1997.mdb"}) {
        const auto path = test::jetFixturesDir() / name;
        if (!std::filesystem::exists(path)) continue;
        auto db = DatabaseFile::open(path);
        for (const auto& entry : db->catalog().tables(false)) {
            const TableDefinition table = db->tableDefinition(entry.name);
            for (const auto& index : table.realIndexes) {
                if (index.columns.size() != 1) continue;
                const std::size_t position = table.positionOf(index.columns[0]);
                if (position >= table.columns.size() || table.columns[position].type != ColumnType::Text) continue;
                const ColumnLocator locate(table, db->format(), position);
                std::vector<std::pair<std::u16string, std::vector<std::uint8_t>>> keyed;
                std::vector<std::uint8_t> row;
                for (const auto& e : test::jet3IndexEntries(db->pages(), index.firstPage)) {
                    if (e.key.empty() || e.key[0] != kKeyAscending) continue;  // nulls, descending keys
                    test::copyRow(*db, e.row, row);
                    const Value value = db->decodeField(locate(row), table.columns[position]);
                    keyed.emplace_back(std::get<std::u16string>(value), e.key);
                }
                for (const auto& [a, keyA] : keyed)
                    for (const auto& [b, keyB] : keyed)
                        ASSERT_EQ(sign(compareGeneral(a, b)), sign(compareBytes(keyA, keyB)))
                            << text::toUtf8(a) << " against " << text::toUtf8(b) << " in "
                            << text::toUtf8(table.name) << " of " << name;
                compared += keyed.size();
            }
        }
    }
    EXPECT_GT(compared, 500u);
}

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
    const std::u16string alphabet =
        u"aAbBzZ09 .,-'\u00AD\u00E9\u00C9\u00DF\u00E6\u00F8\u0153\u0160\u00D7\u2014\u0416\u4E2D";
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
    // Texts of digits and unaccented letters only, whose keys are written the short way.
    const std::u16string plain = u"aAbBzZ09";
    for (int i = 0; i < 150; ++i) {
        std::u16string text;
        for (std::uint32_t n = next() % 6; n > 0; --n) text.push_back(plain[next() % plain.size()]);
        texts.push_back(text);
    }
    std::vector<std::string> keys;
    for (const auto& text : texts) {
        keys.emplace_back();
        appendGeneralSortKey(text, keys.back());
        std::string after = "prefix";
        appendGeneralSortKey(text, after);
        ASSERT_EQ(after, "prefix" + keys.back()) << "a key is appended after what is there";
        // The same text as single-byte stored bytes keys the same, straight, when it is plain.
        if (std::all_of(text.begin(), text.end(), [](char16_t c) { return c < 0x80; })) {
            const std::vector<std::uint8_t> stored(text.begin(), text.end());
            const bool isPlain = std::all_of(text.begin(), text.end(), [](char16_t c) {
                return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
            });
            std::string fromBytes = "prefix";
            ASSERT_EQ(appendPlainSortKey(stored, fromBytes), isPlain);
            ASSERT_EQ(fromBytes, isPlain ? after : std::string("prefix"));
        }
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
