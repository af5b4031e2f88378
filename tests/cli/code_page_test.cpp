// A Jet 3 cookbook made on a machine with another code page: its text reads in the code page its
// header names (as mdbtools reads it), `--code-page` overrides a wrong header, and the upgrade
// stores it in code page 1252 as Windows would, listing every character it had to replace.
#include <fstream>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/fixtures.h"
#include "support/header_code_page.h"
#include "support/process.h"
#include "support/reference_readers.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

class CyrillicCookbook : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = makeTempDir("codepage");
        path_ = dir_ / "borsch.rcp";
        // The bytes of "Борщ" in code page 1251 are those of "Áîðù" in code page 1252.
        std::ofstream(dir_ / "recipes.jsonl") << R"({"Name": "Áîðù", "Serving": "4", "rID": "1"})" << "\n";
        std::ofstream(dir_ / "ingredients.jsonl") << R"({"Name": "Ñâ¸êëà", "Amt": "2", "rID": "1"})" << "\n";
        const auto made = zestrel({"sample", "--layout", "1.1", "--recipe-rows", (dir_ / "recipes.jsonl").string(),
                                   "--ingredient-rows", (dir_ / "ingredients.jsonl").string(), path_.string()});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        setHeaderCodePage(path_, 1252, 1251);
    }
    void TearDown() override { checkAndRemoveTempDir(dir_); }

    std::string name(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args{"dump", path_.string(), "Recipe"};
        args.insert(args.end(), extra.begin(), extra.end());
        const auto result = zestrel(args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return json::parse(result.out.substr(0, result.out.find('\n')))["Name"];
    }

    fs::path dir_;
    fs::path path_;
};

TEST_F(CyrillicCookbook, ReadsInTheCodePageItsHeaderNames) {
    EXPECT_EQ(name(), "Борщ");
    EXPECT_EQ(name({"--code-page", "1252"}), "Áîðù");
    EXPECT_EQ(zestrel({"check", path_.string()}).exitCode, 0);
    if (!mdbtoolsInstalled()) GTEST_SKIP() << "mdbtools is not installed";
    EXPECT_EQ(mdbJsonRows(path_.string(), "Recipe").at(0)["Name"], "Борщ");
}

TEST_F(CyrillicCookbook, AnUnknownCodePageIsWrongUsage) {
    EXPECT_EQ(zestrel({"dump", path_.string(), "Recipe", "--code-page", "437"}).exitCode, 2);
}

TEST_F(CyrillicCookbook, UpgradesWithEveryReplacedCharacterListed) {
    const fs::path program = dir_ / "program";
    const std::string original = fileBytes(path_);
    const auto dry = zestrel({"upgrade", "--dry-run", "--program-folder", program.string(), path_.string()});
    EXPECT_EQ(dry.exitCode, 0) << dry.err;
    EXPECT_NE(dry.out.find("Recipe \"Борщ\" (rID \"1\"), Name: characters would be replaced: \"Б\" by \"?\", \"о\" by \"?\""),
              std::string::npos) << dry.out;
    EXPECT_EQ(fileBytes(path_), original);

    const auto result = zestrel({"upgrade", "--program-folder", program.string(), path_.string()});
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(name(), "????");
    const std::string list = textFile(program / "Backup" / "borsch_backup_changes.txt");
    EXPECT_NE(list.find("The new cookbook stores text in the Western European character set; letters outside it are "
                        "replaced by the nearest one, or by '?': 2 values.\n2 values changed in 1 recipe."),
              std::string::npos) << list;
    EXPECT_NE(list.find("Recipe \"Борщ\" (rID \"1\"), ingredient \"Свёкла\", Name: characters replaced: \"С\" by \"?\""), std::string::npos) << list;
}

}  // namespace
}  // namespace zestrel::test
