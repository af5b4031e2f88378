// Files that are missing, not databases, of other formats or damaged each end
// in a numbered failure that names the file, and reading never changes a file.
#include <fstream>

#include <gtest/gtest.h>

#include "store/jet/database_file.h"
#include "store/jet/failure.h"
#include "support/fixtures.h"
#include "support/stored_rows.h"

namespace zestrel::jet {
namespace {

namespace fs = std::filesystem;

class BadInput : public ::testing::Test {
protected:
    void SetUp() override { dir_ = test::makeTempDir("bad-input"); }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path write(const std::string& name, const std::string& bytes) {
        const auto path = dir_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    fs::path copyFixture(const std::string& name) {
        const auto path = dir_ / name;
        test::copyFixtureFile(test::jetFixturesDir() / name, path);
        return path;
    }
    static void patch(const fs::path& path, std::size_t offset, const std::string& bytes) {
        std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(static_cast<std::streamoff>(offset));
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }

    // Opens and reads every table; returns the failure it ends in.
    static Failure failureOf(const fs::path& path) {
        try {
            auto db = DatabaseFile::open(path);
            for (const auto& entry : db->catalog().tables(true)) test::readRows(*db, db->tableDefinition(entry.name));
        } catch (const Failure& f) {
            EXPECT_NE(f.description().find(path.string()), std::string::npos) << f.description();
            return f;
        }
        ADD_FAILURE() << "no failure for " << path;
        return Failure(0, "");
    }

    fs::path dir_;
};

TEST_F(BadInput, MissingFileIs3024) { EXPECT_EQ(failureOf(dir_ / "nothing.rcp").number(), 3024); }

TEST_F(BadInput, FolderIsRefused) {
    fs::create_directory(dir_ / "folder.rcp");
    EXPECT_EQ(failureOf(dir_ / "folder.rcp").number(), failure::kCannotOpenFile);
}

TEST_F(BadInput, EmptyAndTextFilesAreNotDatabases) {
    EXPECT_EQ(failureOf(write("empty.rcp", "")).number(), 3343);
    EXPECT_EQ(failureOf(write("text.rcp", "Pancakes: flour, milk, eggs\n")).number(), 3343);
}

TEST_F(BadInput, NewerFormatIsNamed) {
    ZESTREL_REQUIRE_SHARED();
    const Failure f = failureOf(copyFixture("delTestV2007.accdb"));
    EXPECT_EQ(f.number(), 3343);
    EXPECT_NE(f.description().find("Access 2007"), std::string::npos) << f.description();
}

TEST_F(BadInput, TruncatedFileIsDamaged) {
    ZESTREL_REQUIRE_SHARED();
    const auto path = copyFixture("testV1997.mdb");
    fs::resize_file(path, 2048 * 2 + 100);
    EXPECT_EQ(failureOf(path).number(), failure::kCannotOpenDatabase);
}

TEST_F(BadInput, TableDefinitionPagesThatLoopAreDamaged) {
    ZESTREL_REQUIRE_SHARED();
    const auto path = copyFixture("testV1997.mdb");
    patch(path, 2 * 2048 + 4, std::string("\x02\x00\x00\x00", 4));  // the catalog's definition continues on itself
    EXPECT_EQ(failureOf(path).number(), failure::kCannotOpenDatabase);
}

TEST_F(BadInput, PointerPastTheEndIsDamaged) {
    ZESTREL_REQUIRE_SHARED();
    const auto path = copyFixture("testV1997.mdb");
    patch(path, 2 * 2048 + 35, std::string("\x00\xFF\xFF\x7F", 4));  // the catalog's usage map
    EXPECT_EQ(failureOf(path).number(), failure::kCannotOpenDatabase);
}

TEST_F(BadInput, EncryptedDatabaseIsNamed) {
    ZESTREL_REQUIRE_SHARED();
    const auto path = copyFixture("testV1997.mdb");
    std::string page0 = test::fileBytes(path).substr(0, 2048);
    // Set a database key inside the masked region: mask, change, mask again.
    std::vector<std::uint8_t> bytes(page0.begin(), page0.end());
    applyHeaderMask(bytes, formatFor(JetVersion::Jet3));
    bytes[kDatabaseKeyOffset] = 0x5A;
    applyHeaderMask(bytes, formatFor(JetVersion::Jet3));
    patch(path, 0, std::string(bytes.begin(), bytes.end()));
    const Failure f = failureOf(path);
    EXPECT_EQ(f.number(), 3343);
    EXPECT_NE(f.description().find("encrypted"), std::string::npos);
}

TEST_F(BadInput, MissingTableIs3078) {
    ZESTREL_REQUIRE_SHARED();
    auto db = DatabaseFile::open(copyFixture("testV1997.mdb"));
    try {
        db->tableDefinition(u"Ingred");
        FAIL() << "no failure";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 3078);
        EXPECT_NE(f.description().find("Ingred"), std::string::npos);
    }
}

TEST_F(BadInput, ReadingChangesNeitherBytesNorModificationTime) {
    ZESTREL_REQUIRE_SHARED();
    const auto fixtures = test::jetFixtures();
    ASSERT_FALSE(fixtures.empty()) << "no genuine file to read in " << test::jetFixturesDir();
    for (const auto& fixture : fixtures) {
        const auto path = copyFixture(fixture.filename().string());
        const std::string before = test::fileBytes(path);
        const auto modified = std::filesystem::last_write_time(path);
        {
            auto db = DatabaseFile::open(path);
            for (const auto& entry : db->catalog().tables(true)) test::readRows(*db, db->tableDefinition(entry.name));
        }
        EXPECT_EQ(test::fileBytes(path), before) << fixture;
        EXPECT_EQ(std::filesystem::last_write_time(path), modified) << fixture;
    }
}

}  // namespace
}  // namespace zestrel::jet
