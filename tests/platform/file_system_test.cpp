#include "platform/file_system.h"

#include <fstream>

#include <gtest/gtest.h>

#include "platform/file.h"
#include "platform/number_text.h"
#include "support/fixtures.h"

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;

TEST(FileSystem, ExistenceTestsTellFilesFromFolders) {
    const fs::path dir = test::makeTempDir("fs");
    std::ofstream(dir / "tempdb.mdb") << "x";
    std::ofstream(dir / ".hidden") << "x";
    fs::create_directory(dir / "Backup");
    EXPECT_TRUE(fileExists(dir / "tempdb.mdb"));
    EXPECT_FALSE(fileExists(dir / ".hidden"));
    EXPECT_FALSE(fileExists(dir / "Backup"));
    EXPECT_TRUE(entryExists(dir / "Backup"));
    EXPECT_FALSE(entryExists(dir / "none"));
    fs::remove_all(dir);
}

TEST(FileSystem, MoveNeverOverwrites) {
    const fs::path dir = test::makeTempDir("fs");
    std::ofstream(dir / "a") << "a";
    std::ofstream(dir / "b") << "b";
    EXPECT_THROW(moveFile(dir / "a", dir / "b"), FileError);
    moveFile(dir / "a", dir / "c");
    EXPECT_FALSE(fs::exists(dir / "a"));
    std::ifstream in(dir / "c");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "a");
    fs::remove_all(dir);
}

TEST(FileSystem, ProgramFolderCanBeSet) {
    setProgramFolder("/tmp/zestrel-program");
    EXPECT_EQ(programFolder(), fs::path("/tmp/zestrel-program"));
}

TEST(NumberText, AcceptsSignedDecimalsWithBlanksAround) {
    EXPECT_EQ(textToSingle(u" 2 "), 2.0f);
    EXPECT_EQ(textToSingle(u"-0.25"), -0.25f);
    EXPECT_EQ(textToSingle(u"+3"), 3.0f);
    EXPECT_FALSE(textToSingle(u""));
    EXPECT_FALSE(textToSingle(u" "));
    EXPECT_FALSE(textToSingle(u"1 2"));
    EXPECT_FALSE(textToSingle(u"1e5"));
    EXPECT_FALSE(textToSingle(u"4e40"));
    EXPECT_FALSE(textToSingle(u"99999999999999999999999999999999999999999"));
}

}  // namespace
}  // namespace zestrel::platform
