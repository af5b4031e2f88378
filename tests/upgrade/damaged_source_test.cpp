// A damaged or truncated cookbook is refused before anything is made or moved, with 3049 and the
// table and page at fault, or how much of the file is missing: never upgraded with rows left out,
// never taken for no cookbook or for one of another version.
#include <fstream>

#include <gtest/gtest.h>

#include "store/jet/database_file.h"
#include "support/fixtures.h"
#include "support/process.h"
#include "text/utf8.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;

// Takes one row off the row count of a data page of `table` that holds several, as a torn write
// would: the row is still there, but no reader sees it.
void cutRowCount(const fs::path& cookbook, const std::u16string& table) {
    std::uint32_t definition = 0;
    std::uint32_t pageSize = 0;
    std::size_t countAt = 0;
    {
        auto database = jet::DatabaseFile::open(cookbook);
        definition = database->catalog().findTable(table)->definitionPage();
        pageSize = database->format().pageSize;
        countAt = database->format().dataRowCountOffset;
    }
    std::string bytes = UpgradeTest::bytesOf(cookbook);
    for (std::size_t page = 1; page * pageSize < bytes.size(); ++page) {
        auto* at = reinterpret_cast<unsigned char*>(bytes.data() + page * pageSize);
        const std::uint32_t owner = at[4] | (at[5] << 8) | (at[6] << 16) | (static_cast<std::uint32_t>(at[7]) << 24);
        if (at[0] != 1 || owner != definition || at[countAt] < 2) continue;
        --at[countAt];
        std::ofstream(cookbook, std::ios::binary | std::ios::trunc) << bytes;
        return;
    }
    ADD_FAILURE() << "no data page of the table holds two rows";
}

class SourceDamage : public UpgradeTest {
protected:
    fs::path sample(const std::string& name, const char* layout, int recipes) {
        const fs::path path = dir_ / name;
        const auto made = zestrel({"sample", "--layout", layout, "--recipes",
                                      std::to_string(recipes), "--ingredients-per-recipe", "3", path.string()});
        EXPECT_EQ(made.exitCode, 0) << made.err;
        return path;
    }
    // An upgrade that must stop with `says` and leave the cookbook as it was, with no backup.
    void expectRefused(const fs::path& cookbook, const std::string& says) {
        const std::string before = bytesOf(cookbook);
        const auto run = zestrel({"upgrade", "--program-folder", program_.string(), cookbook.string()});
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("Successful"), std::string::npos) << run.err;
        EXPECT_EQ(bytesOf(cookbook), before);
        EXPECT_FALSE(fs::exists(program_ / "Backup") && !fs::is_empty(program_ / "Backup"));
        EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
    }
};

TEST_F(SourceDamage, ARowCountCutByOneIsRefusedNamingTheTableAndPage) {
    for (const auto& [layout, table] : {std::pair{"1.0", u"Recipe"}, std::pair{"1.1", u"Ingred"}}) {
        const fs::path cookbook = sample(std::string("cut") + layout + ".rcp", layout, 300);
        cutRowCount(cookbook, table);
        expectRefused(cookbook, "3049 - The database " + cookbook.string() + " is damaged: table '" +
                                    text::toUtf8(table) + "': page ");
        fs::remove(cookbook);  // damaged on purpose: the folder's check at the end is for what the runs wrote
    }
}

TEST_F(SourceDamage, AJet4CookbookWithACutRowCountIsRefused) {
    const fs::path fixture = sharedDir() / "fixtures" / "cookbooks" / "intl11-jet4.rcp";
    if (!fs::exists(fixture)) GTEST_SKIP() << "the shared cookbooks are needed: " << fixture;
    const fs::path cookbook = dir_ / "intl11.rcp";
    copyFixtureFile(fixture, cookbook);
    cutRowCount(cookbook, u"Ingred");
    expectRefused(cookbook, "is damaged: table 'Ingred': page ");
    fs::remove(cookbook);
}

// Cut anywhere, a cookbook says how much of it is there, at Browse and at the upgrade; it is never
// "not a cookbook" and never read as a cookbook of another version.
TEST_F(SourceDamage, ATruncatedCookbookSaysWhereItEnds) {
    const fs::path whole = sample("whole.rcp", "1.1", 300);
    const auto size = fs::file_size(whole);
    for (const std::uintmax_t cut : {size - 1, size - 2048, size * 3 / 4, size / 2, size / 4, std::uintmax_t{6000}}) {
        SCOPED_TRACE(cut);
        const fs::path cookbook = dir_ / ("cut" + std::to_string(cut) + ".rcp");
        fs::copy_file(whole, cookbook);
        fs::resize_file(cookbook, cut);
        const auto version = zestrel({"version", cookbook.string()});
        EXPECT_EQ(version.exitCode, 1);
        const std::string said = version.out + version.err;
        EXPECT_NE(said.find("3049 - The database"), std::string::npos) << said;
        EXPECT_NE(said.find("it ends at byte " + std::to_string(cut) + " of the "), std::string::npos) << said;
        EXPECT_EQ(said.find("not a cookbook"), std::string::npos) << said;
        EXPECT_EQ(said.find("version 1."), std::string::npos) << said;
        expectRefused(cookbook, "it ends at byte " + std::to_string(cut));
        fs::remove(cookbook);
    }
}

}  // namespace
}  // namespace zestrel::test
