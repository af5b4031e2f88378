// For every Jet 3 and Jet 4 fixture written by the genuine engine, and every
// table in it (system tables included), `zestrel` must read what mdbtools
// reads: the same user tables, the same columns with types and sizes, and the
// same rows in the same order with equal values.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/fixtures.h"
#include "support/process.h"
#include "support/reference_readers.h"
#include "support/row_compare.h"

namespace zestrel::test {
namespace {

using nlohmann::json;

std::string run(const std::vector<std::string>& argv) {
    auto result = runProcess(argv);
    EXPECT_EQ(result.exitCode, 0) << argv[0] << " " << argv[1] << ": " << result.err;
    return result.out;
}

class MdbtoolsAgreement : public ::testing::TestWithParam<std::filesystem::path> {
protected:
    void SetUp() override {
        if (!mdbtoolsInstalled()) GTEST_SKIP() << "mdbtools is not installed (the test command installs it)";
    }
    std::string file() const { return GetParam().string(); }
};

TEST_P(MdbtoolsAgreement, ListsTheSameUserTables) {
    EXPECT_EQ(run({zestrelProgram().string(), "tables", file()}), run({"mdb-tables", "-1", file()}));
}

TEST_P(MdbtoolsAgreement, EveryTableHasTheSameColumnsTypesAndSizes) {
    const auto tables = splitLines(run({"mdb-tables", "-S", "-1", file()}));
    ASSERT_FALSE(tables.empty()) << "mdb-tables listed no table";
    for (const auto& table : tables) {
        const auto ours = zestrelSchema(file(), table);
        const auto theirs = mdbSchema(file(), table);
        ASSERT_EQ(ours.size(), theirs.size()) << table;
        for (std::size_t i = 0; i < ours.size(); ++i) {
            SCOPED_TRACE(table + "." + ours[i].name);
            EXPECT_EQ(ours[i].name, theirs[i].name);
            EXPECT_EQ(ours[i].type, theirs[i].type);
            if (ours[i].type == "Text") {
                EXPECT_EQ(ours[i].size, theirs[i].size);
            }
        }
    }
}

TEST_P(MdbtoolsAgreement, EveryTableHasTheSameRowsInTheSameOrder) {
    int tables = 0;
    for (const auto& table : splitLines(run({"mdb-tables", "-S", "-1", file()}))) {
        const auto columns = zestrelSchema(file(), table);
        const auto ours = splitLines(run({zestrelProgram().string(), "dump", file(), table}));
        const auto theirs = mdbJsonRows(file(), table);
        ASSERT_EQ(ours.size(), theirs.size()) << table;
        for (std::size_t i = 0; i < ours.size(); ++i) {
            const std::string difference = compareWithMdbJson(json::parse(ours[i]), theirs[i], columns);
            ASSERT_EQ(difference, "") << table << " row " << i;
        }
        ++tables;
    }
    EXPECT_GT(tables, 0);
    RecordProperty("tables", tables);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, MdbtoolsAgreement, ::testing::ValuesIn(jetFixtures()), fixtureTestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(MdbtoolsAgreement);

TEST(MdbtoolsAgreementFixtures, ArePresent) {
    ZESTREL_REQUIRE_SHARED();
    EXPECT_FALSE(jetFixtures().empty());
}

}  // namespace
}  // namespace zestrel::test
