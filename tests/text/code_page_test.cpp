#include "text/code_page.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

#include "store/jet/jet4_text.h"
#include "support/fixtures.h"
#include "text/utf8.h"

namespace zestrel::text {
namespace {

std::u16string decodeIn(std::uint16_t codePage, std::vector<std::uint8_t> bytes) {
    return findCodePage(codePage)->decode(bytes);
}

TEST(CodePages, EveryCarriedPageIsFound) {
    for (std::uint16_t number : {874, 932, 936, 949, 950, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258})
        EXPECT_NE(findCodePage(number), nullptr) << number;
    EXPECT_EQ(findCodePage(437), nullptr);
    EXPECT_EQ(westernEuropean().number(), 1252);
}

struct ReadCase {
    std::uint16_t codePage;
    std::vector<std::uint8_t> bytes;
    std::u16string text;
};

class ReadingACodePage : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadingACodePage, GivesTheCharacters) {
    EXPECT_EQ(decodeIn(GetParam().codePage, GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadingACodePage,
    ::testing::Values(ReadCase{1252, {0x80, 0x93, 0x94, 0x9C, 0xE9, 0xFF}, u"\u20AC\u201C\u201D\u0153\u00E9\u00FF"},
                      ReadCase{1251, {0xC1, 0xEE, 0xF0, 0xF9}, u"Борщ"},
                      ReadCase{1250, {0x50, 0x69, 0x65, 0x72, 0x6F, 0x67, 0x69, 0x20, 0xB9}, u"Pierogi ą"},
                      ReadCase{1253, {0xEC, 0xE1, 0xEA}, u"μακ"},
                      ReadCase{1254, {0xFE, 0xF0}, u"şğ"},
                      ReadCase{1253, {0xAA}, u"\uF8F9"},                 // undefined in Greek: Windows' private-use stand-in
                      ReadCase{932, {0x82, 0xA0, 'a', 0x83, 0x41}, u"あaア"},  // double-byte and ASCII mixed
                      ReadCase{932, {0xB1}, u"\uFF71"},                  // half-width katakana, one byte
                      ReadCase{936, {0xD6, 0xD0, 0xCE, 0xC4}, u"中文"},
                      ReadCase{949, {0xB1, 0xE8, 0xC4, 0xA1}, u"김치"},
                      ReadCase{950, {0xA4, 0xA4}, u"中"},
                      ReadCase{936, {0xD6}, u"?"}));                     // a lead byte without its trail

struct StoreCase {
    std::u16string text;
    std::u16string storedAs;
};

class StoringInCodePage1252 : public ::testing::TestWithParam<StoreCase> {};

TEST_P(StoringInCodePage1252, TakesWindowsBestFit) {
    const CodePage& page = westernEuropean();
    EXPECT_EQ(page.stored(GetParam().text), GetParam().storedAs);
    EXPECT_EQ(page.holds(GetParam().text), GetParam().text == GetParam().storedAs);
    std::vector<std::uint8_t> bytes;
    page.appendEncoded(GetParam().text, bytes);
    EXPECT_EQ(bytes.size(), GetParam().storedAs.size());
    EXPECT_EQ(page.decode(bytes), GetParam().storedAs);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StoringInCodePage1252,
    ::testing::Values(StoreCase{u"Crème brûlée €5", u"Crème brûlée €5"},  // every character in the page
                      StoreCase{u"Pierogi z kapustą", u"Pierogi z kapusta"},
                      StoreCase{u"şiş", u"sis"},
                      StoreCase{u"≤ 30 min", u"= 30 min"},
                      StoreCase{u"∞", u"8"},
                      StoreCase{u"⅓ cup", u"? cup"},                      // no best fit: the default
                      StoreCase{u"Борщ", u"????"},
                      StoreCase{u"cake \U0001F370!", u"cake ?!"},          // a surrogate pair is one "?"
                      StoreCase{std::u16string(u"a") + char16_t(0xD800) + u"b", u"a?b"},  // a lone surrogate
                      StoreCase{u"", u""}));

TEST(CodePages, EveryByteOf1252ReadsBackAsItself) {
    const CodePage& page = westernEuropean();
    for (int b = 0; b < 256; ++b) {
        const std::uint8_t byte = static_cast<std::uint8_t>(b);
        const std::u16string text = page.decode(std::span<const std::uint8_t>(&byte, 1));
        std::uint8_t again = 0;
        ASSERT_EQ(page.encode(text, &again), 1u);
        EXPECT_EQ(again, byte) << "byte " << b;
    }
}

// Every best-fit pair Windows publishes for code page 1252 is what storing gives.
TEST(CodePages, StoringFollowsThePublishedTableWhole) {
    const auto file = test::sharedDir() / "codepages" / "bestfit1252.txt";
    std::ifstream in(file);
    if (!in) GTEST_SKIP() << "the shared code page tables are absent (" << file.string() << ")";
    std::string line;
    bool inTable = false;
    int checked = 0;
    while (std::getline(in, line)) {
        if (line.rfind("WCTABLE", 0) == 0) inTable = true;
        if (!inTable || line.rfind("0x", 0) != 0) continue;
        std::istringstream fields(line);
        std::string unit;
        std::string byte;
        fields >> unit >> byte;
        const auto character = static_cast<char16_t>(std::stoul(unit, nullptr, 16));
        std::uint8_t stored = 0;
        westernEuropean().encode(std::u16string(1, character), &stored);
        EXPECT_EQ(stored, std::stoul(byte, nullptr, 16)) << line;
        ++checked;
    }
    EXPECT_EQ(checked, 698);
}

struct Jet4Case {
    std::vector<std::uint8_t> bytes;
    std::u16string text;
};

class Jet4Text : public ::testing::TestWithParam<Jet4Case> {};

TEST_P(Jet4Text, Decodes) { EXPECT_EQ(jet::decodeJet4Text(GetParam().bytes), GetParam().text); }

INSTANTIATE_TEST_SUITE_P(
    Cases, Jet4Text,
    ::testing::Values(Jet4Case{{'a', 0, 'b', 0}, u"ab"},                                   // plain UTF-16
                      Jet4Case{{0xFF, 0xFE, 'a', 'b', 'c'}, u"abc"},                       // compressed
                      Jet4Case{{0xFF, 0xFE, 'a', 0x00, 0x16, 0x04, 0x00, 'b'}, u"a\u0416b"},  // switch both ways
                      Jet4Case{{0xFF, 0xFE}, u""},                                          // empty compressed
                      Jet4Case{{'a', 0, 'b'}, u"a"}));                                      // odd byte ignored

TEST(Utf8, RoundTripsSurrogatePairsAndLatin) {
    const std::u16string text = u"Cr\u00E8me br\u00FBl\u00E9e \U0001F370 \u20AC";
    EXPECT_EQ(fromUtf8(toUtf8(text)), text);
    EXPECT_EQ(toUtf8(u"\u00E9"), "\xC3\xA9");
}

// Each length of form, written after what the string held, and nothing past what was written.
TEST(Utf8, AppendsEachFormAfterWhatIsThere) {
    std::string out = "x";
    appendUtf8(u"a\u00E9\u20AC\U0001F370", out);
    EXPECT_EQ(out, "xa\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8D\xB0");
    appendUtf8(std::u16string(1, char16_t(0xDC00)) + u"z", out);  // a lone low surrogate, then more
    EXPECT_EQ(out, "xa\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8D\xB0\xEF\xBF\xBDz");
    appendUtf8(u"", out);
    EXPECT_EQ(out.size(), 15u);
}

TEST(Utf8, ReplacesMalformedInput) {
    EXPECT_EQ(fromUtf8("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(toUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace zestrel::text
