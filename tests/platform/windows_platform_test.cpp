// What only Windows has: sharing modes, the read-only attribute, file names in UTF-16, the
// program's folder beside the executable with its fallback, and drive letters.
#include <gtest/gtest.h>

#ifdef _WIN32

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <windows.h>

#include "platform/argument_wildcards.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "store/failure_text.h"
#include "support/fixtures.h"
#include "support/process.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;

std::string bytesOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A handle on a file as another program would hold it: reading and writing, sharing nothing but
// reading (or nothing at all).
class Holder {
public:
    Holder(const fs::path& path, DWORD share)
        : handle_(::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~Holder() {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    bool holds() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};

class WindowsPlatform : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = makeTempDir("windows");
        program_ = dir_ / "program";
    }
    void TearDown() override { checkAndRemoveTempDir(dir_); }

    fs::path sample(const fs::path& path) {
        const auto result = runProcess({zestrelProgram().string(), "sample", "--layout", "1.1", "--recipes", "5", path.string()});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return path;
    }
    ProcessResult upgrade(const fs::path& path) {
        return runProcess({zestrelProgram().string(), "upgrade", "--program-folder", program_.string(), path.string()});
    }

    fs::path dir_;
    fs::path program_;
};

// Browse cannot open the cookbook and says so with the number; nothing is created or moved.
TEST_F(WindowsPlatform, ACookbookAnotherProgramWritesIsANumberedFailureAndNothingIsMoved) {
    const fs::path cookbook = sample(dir_ / "family.rcp");
    const std::string before = bytesOf(cookbook);
    {
        Holder other(cookbook, FILE_SHARE_READ);
        ASSERT_TRUE(other.holds());
        const auto result = upgrade(cookbook);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find("3051 - "), std::string::npos) << result.out << result.err;
        EXPECT_NE(result.err.find("another program has it open"), std::string::npos) << result.err;
        EXPECT_EQ(result.out.find("Create temporary file"), std::string::npos) << result.out;
        EXPECT_EQ(result.out.find("Creating backup copy"), std::string::npos) << result.out;
        EXPECT_EQ(result.out.find("Upgrade successful!"), std::string::npos) << result.out;
    }
    EXPECT_EQ(bytesOf(cookbook), before);
    EXPECT_FALSE(fs::exists(program_ / "Backup"));
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
}

TEST_F(WindowsPlatform, WhileWeReadACookbookNoOtherProgramCanWriteIt) {
    const fs::path cookbook = sample(dir_ / "family.rcp");
    auto file = platform::File::open(cookbook, platform::OpenMode::ReadOnly);
    const HANDLE writer = ::CreateFileW(cookbook.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);
    const HANDLE reader = ::CreateFileW(cookbook.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE) << "others may still read it";
    if (reader != INVALID_HANDLE_VALUE) ::CloseHandle(reader);
}

TEST_F(WindowsPlatform, AMoveOfAFileInUseFailsAndTheFileStaysWhereItWas) {
    std::ofstream(dir_ / "a.rcp") << "original";
    {
        Holder other(dir_ / "a.rcp", 0);
        ASSERT_TRUE(other.holds());
        try {
            platform::moveFile(dir_ / "a.rcp", dir_ / "b.rcp");
            ADD_FAILURE() << "a file in use was moved";
        } catch (const platform::FileError& e) {
            EXPECT_EQ(e.errorNumber(), EBUSY);
            const Failure failure = fileFailure(e);
            EXPECT_EQ(failure.number(), 70);
            EXPECT_NE(failure.description().find("in use by another program"), std::string::npos) << failure.description();
        }
    }
    EXPECT_EQ(bytesOf(dir_ / "a.rcp"), "original");
    EXPECT_FALSE(fs::exists(dir_ / "b.rcp"));
}

TEST_F(WindowsPlatform, AReadOnlyCookbookIsUpgradedAndItsBackupKept) {
    const fs::path cookbook = sample(dir_ / "family.rcp");
    const std::string before = bytesOf(cookbook);
    ASSERT_TRUE(::SetFileAttributesW(cookbook.c_str(), FILE_ATTRIBUTE_READONLY));
    const auto result = upgrade(cookbook);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(bytesOf(program_ / "Backup" / "family_backup.rcp"), before);
    const auto version = runProcess({zestrelProgram().string(), "version", cookbook.string()});
    EXPECT_NE(version.out.find("version 1.3"), std::string::npos) << version.out << version.err;
    for (const fs::path& path : {cookbook, program_ / "Backup" / "family_backup.rcp"})
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);  // so that the folder can be removed
}

TEST_F(WindowsPlatform, NamesWithAccentsAndBlanksWorkThroughout) {
    const fs::path folder = dir_ / u8"Zoë's Documents";
    fs::create_directories(folder);
    program_ = dir_ / u8"Programme für Zoë";
    const fs::path cookbook = sample(folder / u8"Crème brûlée.rcp");
    ASSERT_TRUE(fs::exists(cookbook));
    const auto result = upgrade(cookbook);
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    const fs::path backup = program_ / "Backup" / u8"Crème brûlée_backup.rcp";
    EXPECT_TRUE(fs::exists(backup));
    EXPECT_NE(result.err.find(backup.string()), std::string::npos) << "the message names the backup: " << result.err;
    const auto tables = runProcess({zestrelProgram().string(), "tables", cookbook.string()});
    EXPECT_EQ(tables.exitCode, 0) << tables.err;
    EXPECT_NE(tables.out.find("Recipe"), std::string::npos);
}

// Sets an environment variable for one test.
class ScopedVariable {
public:
    ScopedVariable(const wchar_t* name, const std::wstring& value) : name_(name) {
        if (const wchar_t* old = ::_wgetenv(name)) saved_ = old;
        ::SetEnvironmentVariableW(name, value.c_str());
        ::_wputenv_s(name, value.c_str());
    }
    ~ScopedVariable() {
        ::SetEnvironmentVariableW(name_, saved_.c_str());
        ::_wputenv_s(name_, saved_.c_str());
    }

private:
    const wchar_t* name_;
    std::wstring saved_;
};

TEST_F(WindowsPlatform, TheProgramFolderIsTheExecutablesWhenItCanBeWritten) {
    fs::create_directories(dir_ / "bin");
    EXPECT_EQ(platform::chooseProgramFolder(dir_ / "bin"), dir_ / "bin");
    EXPECT_TRUE(fs::is_empty(dir_ / "bin")) << "the test of writing leaves nothing behind";
}

TEST_F(WindowsPlatform, AnExecutablesFolderThatCannotBeWrittenFallsBackToLocalApplicationData) {
    const ScopedVariable local(L"LOCALAPPDATA", (dir_ / "local").wstring());
    std::ofstream(dir_ / "readonly") << "a file: nothing can be created below it";
    EXPECT_EQ(platform::chooseProgramFolder(dir_ / "readonly" / "bin"), dir_ / "local" / "Zestrel");
    EXPECT_EQ(platform::localApplicationDataFolder(), dir_ / "local" / "Zestrel");
}

TEST_F(WindowsPlatform, AnInstalledProgramKeepsItsFolderInLocalApplicationDataThoughItsOwnIsWritable) {
    // Under wine every folder can be written, Program Files too: the setup program's marker
    // decides, not the permission.
    const ScopedVariable local(L"LOCALAPPDATA", (dir_ / "local").wstring());
    fs::create_directories(dir_ / "Program Files" / "Zestrel");
    std::ofstream(dir_ / "Program Files" / "Zestrel" / platform::kInstalledMarker) << "installed";
    EXPECT_EQ(platform::chooseProgramFolder(dir_ / "Program Files" / "Zestrel"), dir_ / "local" / "Zestrel");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_ / "Program Files" / "Zestrel"), fs::directory_iterator{}), 1)
        << "nothing is written beside an installed program, not even a test of writing";
}

TEST_F(WindowsPlatform, WithoutAnOverrideTheProgramFolderIsBesideTheExecutable) {
    const ScopedVariable variable(L"ZESTREL_PROGRAM_FOLDER", L"");
    platform::setProgramFolder({});
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_EQ(platform::programFolder(), fs::path(self).parent_path());
}

TEST_F(WindowsPlatform, AFileMovesToAnotherDrive) {
    // Under wine C: and Z: are folders of one Linux file system, so this is a rename there; on
    // Windows proper two drives are two volumes and the move copies, makes the copy durable and
    // deletes the original.
    const fs::path source = dir_ / "a.rcp";
    std::ofstream(source) << "across drives";
    wchar_t unixRoot[] = L"Z:\\tmp";
    if (!fs::is_directory(unixRoot) || dir_.root_name() == fs::path(unixRoot).root_name())
        GTEST_SKIP() << "no second drive here";
    const fs::path target = fs::path(unixRoot) / ("zestrel-drive-" + std::to_string(::GetCurrentProcessId()) + ".rcp");
    platform::moveFile(source, target);
    EXPECT_FALSE(fs::exists(source));
    EXPECT_EQ(bytesOf(target), "across drives");
    fs::remove(target);
}

// "*" and "?" in an argument's file name are expanded as Windows programs expand them: each
// match in name order with the folder as written; no match, an option, or a wildcard in a folder
// stays as written.
struct WildcardCase {
    const char* name;
    std::u16string pattern;  // after the folder
    std::vector<std::u16string> expected;  // the names after the folder; empty: the argument itself
};

class ArgumentWildcards : public WindowsPlatform, public ::testing::WithParamInterface<WildcardCase> {};

TEST_P(ArgumentWildcards, ExpandAsWindowsProgramsDo) {
    for (const char* name : {"b.rcp", "a.rcp", "Zo\xc3\xab.rcp", "notes.txt", "ab.RCP"})
        std::ofstream(dir_ / fs::path(std::u8string(reinterpret_cast<const char8_t*>(name)))) << "x";
    for (const std::u16string& folder : {dir_.u16string() + u"\\", dir_.u16string() + u"/"}) {
        const std::u16string argument = folder + GetParam().pattern;
        std::vector<std::u16string> expected;
        for (const auto& name : GetParam().expected) expected.push_back(folder + name);
        if (expected.empty()) expected.push_back(argument);
        EXPECT_EQ(platform::expandedArgument(argument), expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    , ArgumentWildcards,
    ::testing::Values(WildcardCase{"Star", u"*.rcp", {u"Zo\u00EB.rcp", u"a.rcp", u"ab.RCP", u"b.rcp"}},
                      WildcardCase{"Question", u"?.rcp", {u"a.rcp", u"b.rcp"}},
                      WildcardCase{"NoMatch", u"*.mdb", {}},
                      WildcardCase{"NoWildcard", u"a.rcp", {}},
                      WildcardCase{"WildcardInAFolder", u"*\\a.rcp", {}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ArgumentWildcardOptions, AnOptionIsNeverExpanded) {
    EXPECT_EQ(platform::expandedArgument(u"--recipes=*"), std::vector<std::u16string>{u"--recipes=*"});
    EXPECT_EQ(platform::expandedArgument(u"-*"), std::vector<std::u16string>{u"-*"});
}

}  // namespace
}  // namespace zestrel::test

#endif
