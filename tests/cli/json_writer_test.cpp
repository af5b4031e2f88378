// Binary values in `zestrel dump`: an object with the base64 text, so that a
// reader of the JSON tells them from texts; every padding length decodes back.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/json_writer.h"
#include "support/row_compare.h"

namespace zestrel::test {
namespace {

struct BinaryCase {
    jet::Bytes bytes;
    const char* base64;
};

class BinaryJson : public ::testing::TestWithParam<BinaryCase> {};

TEST_P(BinaryJson, IsAnObjectWithBase64) {
    const auto& c = GetParam();
    const auto parsed = nlohmann::json::parse(cli::jsonValue(jet::Value(c.bytes)));
    ASSERT_TRUE(parsed.is_object());
    ASSERT_EQ(parsed.size(), 1u);
    EXPECT_EQ(parsed.at("$binary"), c.base64);
    const auto decoded = base64Decode(parsed.at("$binary").get<std::string>());
    EXPECT_EQ(jet::Bytes(decoded.begin(), decoded.end()), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(Lengths, BinaryJson,
                         ::testing::Values(BinaryCase{{}, ""}, BinaryCase{{0x00}, "AA=="}, BinaryCase{{0xFF, 0xFE}, "//4="},
                                           BinaryCase{{'M', 'a', 'n'}, "TWFu"},
                                           BinaryCase{{0x00, 0x10, 0x83, 0x10, 0x51, 0x87, 0x20}, "ABCDEFGHIA=="}));

TEST(TextJson, StaysAString) {
    EXPECT_EQ(cli::jsonValue(jet::Value(std::u16string(u"00ff"))), "\"00ff\"");
}

}  // namespace
}  // namespace zestrel::test
