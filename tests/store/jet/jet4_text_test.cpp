// Jet 4 text converted straight into code page 1252: the bytes the page stores for the text the
// stored form reads as, exactly when every character is stored as itself; refused otherwise.
#include "store/jet/jet4_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/code_page.h"

namespace zestrel::jet {
namespace {

using Stored = std::vector<std::uint8_t>;

struct ConversionCase {
    const char* name;
    Stored stored;  // the text as a Jet 4 file keeps it
    bool held;      // whether code page 1252 stores every character as itself
    Stored bytes;   // what 1252 stores, when held
};

void PrintTo(const ConversionCase& c, std::ostream* out) { *out << c.name; }

class Jet4TextInCodePage : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(Jet4TextInCodePage, GivesThePagesBytesOrRefuses) {
    const ConversionCase& c = GetParam();
    const text::CodePage& page = text::westernEuropean();
    Stored out{'s', 't', 'a', 'l', 'e'};
    ASSERT_EQ(jet4TextInCodePage(c.stored, page, out), c.held);
    const std::u16string text = decodeJet4Text(c.stored);
    // The same answer as decoding and storing the text the slow way.
    EXPECT_EQ(page.holds(text), c.held);
    if (!c.held) return;
    EXPECT_EQ(out, c.bytes);
    Stored encoded(text.size());
    encoded.resize(page.encode(text, encoded.data()));
    EXPECT_EQ(out, encoded);
    EXPECT_EQ(page.decode(out), text);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Jet4TextInCodePage,
    ::testing::Values(
        ConversionCase{"PlainAscii", {'a', 0, 'b', 0}, true, {'a', 'b'}},
        ConversionCase{"PlainLatin", {'c', 0, 'a', 0, 'f', 0, 0xE9, 0x00}, true, {'c', 'a', 'f', 0xE9}},
        ConversionCase{"PlainEuroAndQuotes", {0xAC, 0x20, 0x1C, 0x20, 0x1D, 0x20}, true, {0x80, 0x93, 0x94}},
        ConversionCase{"PlainOddByteIgnored", {'a', 0, 'b'}, true, {'a'}},
        ConversionCase{"PlainEmpty", {}, true, {}},
        ConversionCase{"CompressedAscii", {0xFF, 0xFE, 'a', 'b', 'c'}, true, {'a', 'b', 'c'}},
        ConversionCase{"CompressedLatin", {0xFF, 0xFE, 'c', 'r', 0xE8, 'm', 'e'}, true, {'c', 'r', 0xE8, 'm', 'e'}},
        ConversionCase{"CompressedEmpty", {0xFF, 0xFE}, true, {}},
        ConversionCase{"CompressedThenWideEuroThenCompressed",
                       {0xFF, 0xFE, '5', ' ', 0x00, 0xAC, 0x20, 0x00, '!'},
                       true,
                       {'5', ' ', 0x80, '!'}},
        ConversionCase{"CompressedWithATrailingHalfCharacter", {0xFF, 0xFE, 'a', 0x00, 0x41}, true, {'a'}},
        ConversionCase{"ThePagesUndefinedBytes", {0x81, 0x00, 0x8D, 0x00, 0x9D, 0x00}, true, {0x81, 0x8D, 0x9D}},
        ConversionCase{"PlainCyrillic", {'a', 0, 0x16, 0x04}, false, {}},
        ConversionCase{"PlainBestFitOnly", {0x05, 0x01, 'b', 0}, false, {}},  // "ą" is stored as "a"
        ConversionCase{"CompressedThenCyrillic", {0xFF, 0xFE, 'a', 0x00, 0x16, 0x04, 0x00, 'b'}, false, {}},
        ConversionCase{"SurrogatePair", {'a', 0, 0x3D, 0xD8, 0x70, 0xDF}, false, {}},
        ConversionCase{"LoneSurrogate", {0x00, 0xD8}, false, {}},
        ConversionCase{"NonCharacterOfThePageAtTheEnd", {'x', 0, 'y', 0, 0x64, 0x22}, false, {}}),  // "≤"
    [](const ::testing::TestParamInfo<ConversionCase>& param) { return std::string(param.param.name); });

// Every character of the Basic Multilingual Plane, alone in plain and (when one byte) compressed
// form: converted exactly when the page stores it as itself, to the byte it stores.
TEST(Jet4TextInCodePage, AgreesWithThePageOnEveryCharacter) {
    const text::CodePage& page = text::westernEuropean();
    Stored out;
    for (std::uint32_t unit = 1; unit <= 0xFFFF; ++unit) {
        if (unit == 0xFEFF) continue;  // alone, its two bytes are the mark of the compressed form
        const char16_t character = static_cast<char16_t>(unit);
        const std::u16string text(1, character);
        const Stored plain{static_cast<std::uint8_t>(unit & 0xFF), static_cast<std::uint8_t>(unit >> 8)};
        const bool held = page.holds(text) && (unit < 0xD800 || unit > 0xDFFF);
        ASSERT_EQ(jet4TextInCodePage(plain, page, out), held) << std::hex << unit;
        if (held) {
            std::uint8_t byte = 0;
            ASSERT_EQ(page.encode(text, &byte), 1u);
            ASSERT_EQ(out, Stored{byte}) << std::hex << unit;
        }
        if (unit < 0x100) {
            const Stored compressed{0xFF, 0xFE, static_cast<std::uint8_t>(unit)};
            ASSERT_EQ(jet4TextInCodePage(compressed, page, out), held) << std::hex << unit;
        }
    }
}

// Long texts, where runs of plain characters go over a word at a time: runs of every length, at
// every offset, broken by a character of the page's upper half, one it lacks, or (compressed) a
// switch to two-byte characters; each converted as the slow way converts it.
TEST(Jet4TextInCodePage, AgreesWithThePageOnLongTextsOfMixedRuns) {
    const text::CodePage& page = text::westernEuropean();
    const std::vector<char16_t> breaks{u'\u00E9', u'\u20AC', u'\u0416', u'\u0105', u'\u0001'};
    Stored out;
    for (std::size_t lead = 0; lead < 20; ++lead) {
        for (const char16_t brk : breaks) {
            std::u16string text;
            for (std::size_t i = 0; i < lead; ++i) text += static_cast<char16_t>(u'a' + i % 26);
            text += brk;
            for (std::size_t i = 0; i < 17 + lead; ++i) text += static_cast<char16_t>(u'0' + i % 10);
            Stored plain;
            for (const char16_t unit : text) {
                plain.push_back(static_cast<std::uint8_t>(unit & 0xFF));
                plain.push_back(static_cast<std::uint8_t>(unit >> 8));
            }
            // Compressed: one-byte characters, the break as a two-byte one between two switches.
            Stored compressed{0xFF, 0xFE};
            for (const char16_t unit : text) {
                if (unit < 0x100 && unit != 0) {
                    compressed.push_back(static_cast<std::uint8_t>(unit));
                    continue;
                }
                compressed.insert(compressed.end(), {0x00, static_cast<std::uint8_t>(unit & 0xFF),
                                                     static_cast<std::uint8_t>(unit >> 8), 0x00});
            }
            for (const Stored& stored : {plain, compressed}) {
                ASSERT_EQ(decodeJet4Text(stored), text) << lead;
                const bool held = page.holds(text);
                ASSERT_EQ(jet4TextInCodePage(stored, page, out), held) << lead << " " << std::hex << int(brk);
                if (!held) continue;
                Stored encoded(text.size());
                encoded.resize(page.encode(text, encoded.data()));
                ASSERT_EQ(out, encoded) << lead << " " << std::hex << int(brk);
            }
        }
    }
}

}  // namespace
}  // namespace zestrel::jet
