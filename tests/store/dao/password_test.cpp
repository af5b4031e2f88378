// A database password: OpenDatabase refuses the file with 3031, as the engine
// does when no password is given, and leaves it as it was; opening it for
// inspection reads its tables all the same and tells that it has one. Only the
// one fixture that carries a password is seen so.
#include <fstream>

#include <gtest/gtest.h>

#include "store/dao/db_engine.h"
#include "store/jet/failure.h"
#include "support/fixtures.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;

class DatabasePassword : public ::testing::TestWithParam<fs::path> {};

TEST_P(DatabasePassword, IsFoundOnlyWhereThereIsOne) {
    const fs::path fixture = GetParam();
    const bool protectedFile = fixture.filename() == "passwordV2000.mdb";
    auto& engine = dao::DBEngine::Instance();
    auto inspected = engine.OpenForInspection(fixture);
    EXPECT_EQ(inspected->file().header().hasPassword, protectedFile);
    EXPECT_FALSE(inspected->tableNames(false).empty());
    inspected->Close();
    if (!protectedFile) {
        engine.OpenDatabase(fixture)->Close();
        return;
    }
    const std::string before = fileBytes(fixture);
    try {
        engine.OpenDatabase(fixture);
        ADD_FAILURE() << "a database with a password opened without one";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), failure::kNotAValidPassword);
        EXPECT_NE(f.description().find("Remove the password in the cookbook program"), std::string::npos) << f.description();
        EXPECT_NE(f.description().find(fixture.string()), std::string::npos);
    }
    EXPECT_EQ(fileBytes(fixture), before);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DatabasePassword, ::testing::ValuesIn(jetFixtures()), fixtureTestName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(DatabasePassword);

}  // namespace
}  // namespace zestrel::test
