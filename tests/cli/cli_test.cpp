// The command-line program's contract: exit 0 on success, 1 on a failure
// printed as "<number> - <description>", 2 on wrong usage; --help everywhere.
#include <fstream>
#include <optional>

#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "support/process.h"

namespace zestrel::test {
namespace {

TEST(ZestrelCli, EverySubcommandHasHelp) {
    for (const char* command : {"tables", "schema", "dump"}) {
        const auto result = zestrel({command, "--help"});
        EXPECT_EQ(result.exitCode, 0) << command;
        EXPECT_NE(result.out.find("FILE"), std::string::npos) << command;
    }
    EXPECT_EQ(zestrel({"--help"}).exitCode, 0);
}

TEST(ZestrelCli, WrongUsageExitsWithTwo) {
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

    // A value the new table refuses stops the sample half way: no half-written cookbook is left.
    std::ofstream(dir / "long.jsonl") << R"({"Name":")" << std::string(300, 'x') << R"(","rID":"3"})" << "\n";
    const auto tooLong = zestrel({"sample", "--layout", "1.1", "--recipe-rows", (dir / "long.jsonl").string(),
                                  (dir / "long.rcp").string()});
    EXPECT_EQ(tooLong.exitCode, 1);
    EXPECT_EQ(tooLong.err.rfind("3163 - ", 0), 0u) << tooLong.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "long.rcp"));
    std::filesystem::remove_all(dir);
}

// A row count kept stale, as the genuine engine leaves one after a crash: a note for any file,
// a fault with --strict.
TEST(ZestrelCli, CheckNotesWhatTheEngineToleratesAndStrictCountsItAsAFault) {
    const auto dir = makeTempDir("cli-check");
    const auto path = dir / "stale.rcp";
    ASSERT_EQ(zestrel({"new", path.string()}).exitCode, 0);
    {
        constexpr std::streamoff kRightsRowCount = 3 * 2048 + 12;  // MSysACEs' definition, page 3
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(kRightsRowCount);
        file.put(static_cast<char>(1));
    }
    const auto lenient = zestrel({"check", "--notes", path.string()});
    EXPECT_EQ(lenient.exitCode, 0) << lenient.out;
    EXPECT_NE(lenient.out.find("note: table 'MSysACEs': the definition counts 1 rows"), std::string::npos) << lenient.out;
    const auto strict = zestrel({"check", "--strict", path.string()});
    EXPECT_EQ(strict.exitCode, 1) << strict.out;
    EXPECT_EQ(strict.out.rfind("table 'MSysACEs': the definition counts 1 rows", 0), 0u) << strict.out;
    std::filesystem::remove_all(dir);
}

TEST(ZestrelCli, APasswordDoesNotStopTheInspectionCommandsButIsSaid) {
    ZESTREL_REQUIRE_SHARED();
    const std::string file = (jetFixturesDir() / "passwordV2000.mdb").string();
    const auto tables = zestrel({"tables", file});
    ASSERT_EQ(tables.exitCode, 0) << tables.err;
    ASSERT_FALSE(splitLines(tables.out).empty());
    EXPECT_NE(tables.err.find("has a database password"), std::string::npos) << tables.err;
    const std::string first = splitLines(tables.out).front();
    for (const auto& args : std::vector<std::vector<std::string>>{{"schema", file}, {"dump", file, first}}) {
        const auto result = zestrel(args);
        EXPECT_EQ(result.exitCode, 0) << args[0] << result.err;
        EXPECT_NE(result.err.find("has a database password"), std::string::npos) << args[0];
    }
    const auto plain = zestrel({"tables", (jetFixturesDir() / "testV1997.mdb").string()});
    EXPECT_EQ(plain.err, "");
    // Browse cannot open it without its password, and says how to take the password off.
    const auto version = zestrel({"version", file});
    EXPECT_EQ(version.exitCode, 1);
    EXPECT_EQ(version.out, "");
    EXPECT_NE(version.err.find("cannot be read: 3031 - The database " + file + " is protected by a database password, which this program does not ask for. Remove the password in the cookbook program"), std::string::npos)
        << version.err;
}

class ZestrelUpgradeCli : public ::testing::Test {
protected:
    void SetUp() override { dir_ = makeTempDir("cli"); }
    void TearDown() override {
        if (!HasFailure()) std::filesystem::remove_all(dir_);
    }
    std::filesystem::path sample(const std::string& rows) {
        const auto lines = dir_ / "ingredients.jsonl";
        std::ofstream(lines) << rows;
        const auto path = dir_ / "family.rcp";
        const auto made = zestrel({"sample", "--layout", "1.0", "--recipes", "1", "--ingredient-rows", lines.string(),
                                   path.string()});
        EXPECT_EQ(made.exitCode, 0) << made.err;
        return path;
    }
    std::filesystem::path dir_;
};

TEST_F(ZestrelUpgradeCli, AMissingProgramFolderIsCreatedWithItsParents) {
    const auto path = sample("{\"Amt\": \"1\", \"rID\": 1}\n");
    const auto program = dir_ / "not" / "yet" / "there";
    const auto result = zestrel({"upgrade", "--program-folder", program.string(), path.string()});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_TRUE(std::filesystem::is_regular_file(program / "Backup" / "family_backup.rcp"));
}

TEST_F(ZestrelUpgradeCli, AProgramFolderThatCannotBeMadeStopsBeforeAnything) {
    const auto path = sample("{\"Amt\": \"1\", \"rID\": 1}\n");
    std::ofstream(dir_ / "plain") << "a file, not a folder";
    for (const auto& program : {dir_ / "plain", dir_ / "plain" / "below"}) {
        const auto result = zestrel({"upgrade", "--program-folder", program.string(), path.string()});
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find("75 - The program folder " + program.string() + " cannot be used"), std::string::npos)
            << result.err;
        EXPECT_EQ(result.out, "") << "nothing was started";
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "Backup"));
    const auto version = zestrel({"version", path.string()}).out;
    EXPECT_NE(version.find(path.string() + ": version 1.0, upgrade offered"), std::string::npos) << version;
}

// A German number format, built into a folder of the test's own (the machine may have none installed).
std::optional<std::filesystem::path> germanLocale(const std::filesystem::path& dir) {
    if (!programExists("localedef") || !std::filesystem::exists("/usr/share/i18n/locales/de_DE")) return std::nullopt;
    const auto folder = dir / "locales";
    std::filesystem::create_directories(folder);
    runProcess({"localedef", "-i", "de_DE", "-f", "UTF-8", (folder / "de_DE.UTF-8").string()});
    if (!std::filesystem::exists(folder / "de_DE.UTF-8")) return std::nullopt;
    return folder;
}

TEST_F(ZestrelUpgradeCli, AmountsAreReadAndWrittenInTheUsersNumberFormat) {
    const auto locales = germanLocale(dir_);
    if (!locales) GTEST_SKIP() << "localedef and the de_DE locale source are needed";
    const auto path = sample("{\"Amt\": \"1,5/3\", \"rID\": 1}\n{\"Amt\": \"1 1/2\", \"rID\": 1}\n");
    const auto result = runProcess(
        {zestrelProgram().string(), "upgrade", "--program-folder", (dir_ / "program").string(), path.string()},
        {"LOCPATH=" + locales->string(), "LC_ALL=de_DE.UTF-8"});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    const auto rows = splitLines(zestrel({"dump", path.string(), "Ingredient"}).out);
    ASSERT_EQ(rows.size(), 2u);
    // "1,5" is a number in this format: 1,5 / 3 = 0,5; and 1 1/2 is written with the decimal comma.
    EXPECT_NE(rows[0].find("\"Amount\":\"0,5\""), std::string::npos) << rows[0];
    EXPECT_NE(rows[1].find("\"Amount\":\"1,5\""), std::string::npos) << rows[1];
}

}  // namespace
}  // namespace zestrel::test
