// The command-line program's contract: exit 0 on success, 1 on a failure
// printed as "<number> - <description>", 2 on wrong usage; --help everywhere.
#include <gtest/gtest.h>

#include <fstream>

#include "support/fixtures.h"
#include "support/process.h"

namespace zestrel::test {
namespace {

ProcessResult zestrel(std::vector<std::string> args) {
    args.insert(args.begin(), zestrelProgram().string());
    return runProcess(args);
}

TEST(ZestrelCli, EverySubcommandHasHelp) {
    for (const char* command : {"tables", "schema", "dump"}) {
        const auto result = zestrel({command, "--help"});
        EXPECT_EQ(result.exitCode, 0) << command;
        EXPECT_NE(result.out.find("FILE"), std::string::npos) << command;
    }
    EXPECT_EQ(zestrel({"--help"}).exitCode, 0);
}

TEST(ZestrelCli, WrongUsageExitsWithTwo) {
    EXPECT_EQ(zestrel({}).exitCode, 2);
    EXPECT_EQ(zestrel({"dump", "only-a-file.mdb"}).exitCode, 2);
    EXPECT_EQ(zestrel({"frobnicate"}).exitCode, 2);
}

TEST(ZestrelCli, PrintsTheVersion) {
    const auto result = zestrel({"--version"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("1.3.142"), std::string::npos);
}

TEST(ZestrelCli, AFailureIsNumberDashDescription) {
    const auto result = zestrel({"tables", "/nonexistent/cookbook.rcp"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err.rfind("3024 - ", 0), 0u) << result.err;
    EXPECT_NE(result.err.find("/nonexistent/cookbook.rcp"), std::string::npos);
}

TEST(ZestrelCli, DumpPrintsOneJsonObjectPerRowInColumnOrder) {
    ZESTREL_REQUIRE_SHARED();
    const auto result = zestrel({"dump", (jetFixturesDir() / "testV1997.mdb").string(), "Table1"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const auto lines = splitLines(result.out);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1],
              R"({"A":"abcdefg","B":"hijklmnop","C":2,"D":222,"E":333333333,"F":444.555,)"
              R"("G":"1974-09-21T00:00:00","H":3.5,"I":true})");
}

TEST(ZestrelCli, DumpOfAMissingTableIs3078) {
    ZESTREL_REQUIRE_SHARED();
    const auto result = zestrel({"dump", (jetFixturesDir() / "testV1997.mdb").string(), "Recipe"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err.rfind("3078 - ", 0), 0u) << result.err;
}

TEST(ZestrelCli, SampleRowsComeFromTheFileInOrderAndABadLineCreatesNoCookbook) {
    const auto dir = makeTempDir("cli-sample");
    std::ofstream(dir / "good.jsonl") << R"({"Name":"Soup","rID":"2"})" << "\n\n" << R"({"Name":"Pie","rID":"1"})" << "\n";
    std::ofstream(dir / "bad.jsonl") << R"({"Name":"Soup","rID":"2"})" << "\n{not json\n";
    const auto made = zestrel({"sample", "--layout", "1.1", "--recipe-rows", (dir / "good.jsonl").string(),
                               (dir / "good.rcp").string()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const auto dumped = zestrel({"dump", (dir / "good.rcp").string(), "Recipe"});
    const auto lines = splitLines(dumped.out);
    ASSERT_EQ(lines.size(), 2u) << dumped.out;
    EXPECT_EQ(lines[0].rfind(R"({"Name":"Soup",)", 0), 0u) << lines[0];
    EXPECT_EQ(lines[1].rfind(R"({"Name":"Pie",)", 0), 0u) << lines[1];

    const auto refused = zestrel({"sample", "--layout", "1.1", "--recipe-rows", (dir / "bad.jsonl").string(),
                                  (dir / "bad.rcp").string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err.rfind("3131 - ", 0), 0u) << refused.err;
    EXPECT_NE(refused.err.find("line 2"), std::string::npos) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.rcp"));
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zestrel::test
