#include "platform/file_system.h"

#include <cstdlib>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

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
    {
        std::ifstream in(dir / "c");
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "a");
    }
    fs::remove_all(dir);
}

#ifndef _WIN32  // the Linux folders; the Windows ones are tested with the other Windows cases
// The program's folder under a scratch home: each test sets the environment it needs and gets the
// process's own environment and an unset override back afterwards.
class ProgramFolder : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"HOME", "XDG_DATA_HOME", kProgramFolderVariable}) {
            const char* value = std::getenv(name);
            saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
        }
        dir_ = test::makeTempDir("program-folder");
        ::setenv("HOME", (dir_ / "home").c_str(), 1);
        ::unsetenv("XDG_DATA_HOME");
        ::unsetenv(kProgramFolderVariable);
        setProgramFolder({});
    }
    void TearDown() override {
        setProgramFolder({});
        for (const auto& [name, value] : saved_) {
            if (value)
                ::setenv(name.c_str(), value->c_str(), 1);
            else
                ::unsetenv(name.c_str());
        }
        fs::remove_all(dir_);
    }
    static fs::perms permissions(const fs::path& path) { return fs::status(path).permissions() & fs::perms::all; }

    fs::path dir_;
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(ProgramFolder, IsTheUserDataFolderUnderHomeCreatedPrivateOnFirstUse) {
    const fs::path expected = dir_ / "home" / ".local" / "share" / "zestrel";
    EXPECT_FALSE(fs::exists(dir_ / "home"));
    EXPECT_EQ(programFolder(), expected);
    ASSERT_TRUE(fs::is_directory(expected));
    EXPECT_EQ(permissions(expected), fs::perms::owner_all);
    EXPECT_EQ(permissions(dir_ / "home" / ".local"), fs::perms::owner_all);
    EXPECT_EQ(programFolder(), expected);  // a second use finds it
}

TEST_F(ProgramFolder, FollowsXdgDataHome) {
    ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    EXPECT_EQ(programFolder(), dir_ / "data" / "zestrel");
    EXPECT_TRUE(fs::is_directory(dir_ / "data" / "zestrel"));
    EXPECT_FALSE(fs::exists(dir_ / "home"));
}

TEST_F(ProgramFolder, IgnoresARelativeOrEmptyXdgDataHome) {
    for (const char* value : {"relative/data", ""}) {
        ::setenv("XDG_DATA_HOME", value, 1);
        EXPECT_EQ(programFolder(), dir_ / "home" / ".local" / "share" / "zestrel") << "XDG_DATA_HOME=" << value;
    }
}

TEST_F(ProgramFolder, IsNeverTheExecutablesFolder) {
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    ASSERT_FALSE(error);
    EXPECT_NE(programFolder(), executable.parent_path());  // even though the test can write there
}

TEST_F(ProgramFolder, TheEnvironmentVariableOverridesTheDataFolderAndTheSettingOverridesBoth) {
    ::setenv("XDG_DATA_HOME", (dir_ / "data").c_str(), 1);
    ::setenv(kProgramFolderVariable, (dir_ / "from-environment").c_str(), 1);
    EXPECT_EQ(programFolder(), dir_ / "from-environment");
    EXPECT_TRUE(fs::is_directory(dir_ / "from-environment"));
    setProgramFolder(dir_ / "set" / "deeper");
    EXPECT_EQ(programFolder(), dir_ / "set" / "deeper");
    EXPECT_TRUE(fs::is_directory(dir_ / "set" / "deeper"));
    setProgramFolder({});
    EXPECT_EQ(programFolder(), dir_ / "from-environment");
    EXPECT_FALSE(fs::exists(dir_ / "data"));
}

TEST_F(ProgramFolder, ARelativeEnvironmentVariableIsTakenFromTheWorkingFolder) {
    const fs::path before = fs::current_path();
    fs::current_path(dir_);
    ::setenv(kProgramFolderVariable, "relative", 1);
    const fs::path folder = programFolder();
    fs::current_path(before);
    EXPECT_EQ(folder, dir_ / "relative");
}

TEST_F(ProgramFolder, AFolderThatCannotBeMadeIsStillNamedAndTheFirstFileOperationFails) {
    std::ofstream(dir_ / "plain") << "a file where a folder should be";
    setProgramFolder(dir_ / "plain" / "zestrel");
    EXPECT_EQ(programFolder(), dir_ / "plain" / "zestrel");
    EXPECT_THROW(createFolder(programFolder() / "Backup"), FileError);
}

#endif

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

// Decimals of every length read as the C library reads them: the short ones taken digit by digit,
// the longer ones as text, give the same Single.
TEST(NumberText, ReadsDecimalsAsTheCLibraryDoes) {
    std::mt19937 random(11);
    for (int i = 0; i < 20000; ++i) {
        const int length = std::uniform_int_distribution<int>(1, 20)(random);
        std::string text = random() % 4 == 0 ? "-" : "";
        const int point = std::uniform_int_distribution<int>(-1, length)(random);
        for (int k = 0; k < length; ++k) {
            if (k == point) text += '.';
            text += static_cast<char>('0' + random() % 10);
        }
        const std::u16string wide(text.begin(), text.end());
        const auto read = textToSingle(wide);
        ASSERT_TRUE(read) << text;
        ASSERT_EQ(*read, static_cast<float>(std::strtod(text.c_str(), nullptr))) << text;
    }
}

}  // namespace
}  // namespace zestrel::platform
