// The records the program reads back are parsed strictly and whole: any byte of a file name
// goes in escaped and comes back as it was, and a record that is not exactly what the program
// writes (a forged line, a missing or extra field, a value escaped two ways) is no record at all.
#include <algorithm>
#include <cstdint>

#include <gtest/gtest.h>

#include "upgrade/record_text.h"

namespace zestrel::upgrade::record {
namespace {

const std::vector<std::string_view> kKeys = {"cookbook", "size"};

TEST(RecordText, EveryByteOfANameComesBackAsItWas) {
    std::string everyByte;
    for (int c = 1; c < 256; ++c) everyByte += static_cast<char>(c);
    for (const std::string& name : {std::string("family.rcp"), std::string("x\nimportant.txt\n1 2 21\n.rcp"),
                                    std::string("caf\xE9 %41 \x1B]52;c;x\x07.rcp"), std::string(), everyByte}) {
        const std::string text = write("zestrel test 1", {{"cookbook", name}, {"size", "21"}});
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << "one line per field";
        const auto values = read(text, "zestrel test 1", kKeys);
        ASSERT_TRUE(values) << text;
        EXPECT_EQ((*values)[0], name);
        EXPECT_EQ((*values)[1], "21");
    }
}

TEST(RecordText, AnythingButWhatTheProgramWritesIsNoRecord) {
    const struct {
        const char* why;
        std::string text;
    } refused[] = {
        {"another kind", "zestrel other 1\ncookbook a\nsize 1\n"},
        {"a line forged after the fields", "zestrel test 1\ncookbook a\nsize 1\ncookbook b\n"},
        {"a field missing", "zestrel test 1\ncookbook a\n"},
        {"the fields in another order", "zestrel test 1\nsize 1\ncookbook a\n"},
        {"the last line not ended", "zestrel test 1\ncookbook a\nsize 1"},
        {"a raw space in a value", "zestrel test 1\ncookbook a b\nsize 1\n"},
        {"a byte escaped that needs no escape", "zestrel test 1\ncookbook %61\nsize 1\n"},
        {"a lower-case escape", "zestrel test 1\ncookbook %0a\nsize 1\n"},
        {"an escape cut short", "zestrel test 1\ncookbook a%2\nsize 1\n"},
        {"a carriage return", "zestrel test 1\r\ncookbook a\nsize 1\n"},
        {"no space after the key", "zestrel test 1\ncookbooka\nsize 1\n"},
    };
    for (const auto& r : refused) EXPECT_FALSE(read(r.text, "zestrel test 1", kKeys)) << r.why;
}

TEST(RecordText, NumbersAreDigitsOnly) {
    EXPECT_EQ(unsignedNumber("0"), 0u);
    EXPECT_EQ(unsignedNumber("18446744073709551615"), UINT64_MAX);
    EXPECT_EQ(number("-1796766580446794020"), -1796766580446794020LL);
    for (const char* wrong : {"", "-", "+1", "01", " 1", "1 ", "18446744073709551616", "1e3", "0x10", "-0"}) {
        EXPECT_FALSE(number(wrong)) << wrong;
        EXPECT_FALSE(unsignedNumber(wrong)) << wrong;
    }
    EXPECT_FALSE(unsignedNumber("-1"));
    EXPECT_FALSE(number("9223372036854775808"));
}

}  // namespace
}  // namespace zestrel::upgrade::record
