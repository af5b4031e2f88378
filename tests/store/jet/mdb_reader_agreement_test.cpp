// For every Jet 3 and Jet 4 fixture, every table that the npm package
// mdb-reader can read must read the same through `zestrel`: same columns and
// types, same rows in the same order with equal values (OLE and binary values
// whole, texts exactly, dates to the second).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/fixtures.h"
#include "support/process.h"
#include "support/reference_readers.h"
#include "support/row_compare.h"

namespace zestrel::test {
namespace {

using nlohmann::json;

class MdbReaderAgreement : public ::testing::TestWithParam<std::filesystem::path> {
protected:
    void SetUp() override {
        if (!mdbReaderInstalled())
            GTEST_SKIP() << "mdb-reader is not installed in tests/tools (the test command installs it)";
    }
};

TEST_P(MdbReaderAgreement, EveryReadableTableHasTheSameColumnsAndRows) {
    const std::string file = GetParam().string();
    int compared = 0;
    for (const auto& table : mdbReaderTables(file)) {
        if (!table.error.empty()) {
            std::cout << "mdb-reader cannot read " << table.name << " (" << table.error << "); not compared\n";
            continue;
        }
        const auto columns = zestrelSchema(file, table.name);
        ASSERT_EQ(columns.size(), table.columns.size()) << table.name;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            EXPECT_EQ(columns[i].name, table.columns[i]["name"]) << table.name;
            EXPECT_EQ(columns[i].type, ourTypeName(table.columns[i]["type"])) << table.name << "." << columns[i].name;
        }
        const auto ours = splitLines(runProcess({zestrelProgram().string(), "dump", file, table.name}).out);
        ASSERT_EQ(ours.size(), table.rows.size()) << table.name;
        for (std::size_t i = 0; i < ours.size(); ++i)
            ASSERT_EQ(compareWithMdbReader(json::parse(ours[i]), table.rows[i], columns), "")
                << table.name << " row " << i;
        ++compared;
    }
    EXPECT_GT(compared, 0);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MdbReaderAgreement, ::testing::ValuesIn(jetFixtures()), fixtureTestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(MdbReaderAgreement);

}  // namespace
}  // namespace zestrel::test
