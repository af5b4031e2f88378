#include "store/jet/text_codec.h"

#include <gtest/gtest.h>

namespace zestrel::jet {
namespace {

TEST(Cp1252, EveryDefinedByteRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        const std::uint8_t byte = static_cast<std::uint8_t>(b);
        const std::u16string text = decodeCp1252(std::span<const std::uint8_t>(&byte, 1));
        ASSERT_EQ(text.size(), 1u);
        EXPECT_EQ(encodeCp1252(text[0]), byte) << "byte " << b;
    }
}

TEST(Cp1252, MapsTheWindowsRangeToItsCharacters) {
    const std::uint8_t bytes[] = {0x80, 0x93, 0x94, 0x9C, 0xE9, 0xFF};
    EXPECT_EQ(decodeCp1252(bytes), u"\u20AC\u201C\u201D\u0153\u00E9\u00FF");
}

TEST(Cp1252, RefusesCharactersOutsideTheCodePage) {
    EXPECT_FALSE(encodeCp1252(u'\u0416'));  // Cyrillic Zhe
    EXPECT_FALSE(encodeCp1252(std::u16string(u"caf\u00E9 \u4E2D")));
    EXPECT_TRUE(encodeCp1252(std::u16string(u"caf\u00E9 \u20AC")));
}

struct Jet4Case {
    std::vector<std::uint8_t> bytes;
    std::u16string text;
};

class Jet4Text : public ::testing::TestWithParam<Jet4Case> {};

TEST_P(Jet4Text, Decodes) { EXPECT_EQ(decodeJet4Text(GetParam().bytes), GetParam().text); }

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

TEST(Utf8, ReplacesMalformedInput) {
    EXPECT_EQ(fromUtf8("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(toUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace zestrel::jet
