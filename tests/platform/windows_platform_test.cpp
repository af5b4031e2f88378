// What only Windows has: sharing modes, the read-only attribute, file names in UTF-16, the
// program's folder beside the executable with its fallback, drive letters, and access lists.
#include <gtest/gtest.h>

#ifdef _WIN32

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <ostream>
#include <span>
#include <string>
#include <vector>
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

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

// One entry of a file's access list, as far as these tests compare them.
struct AccessEntry {
    int type = 0;
    int flags = 0;  // inherited or not, among others
    unsigned long mask = 0;
    std::string sid;
    bool operator==(const AccessEntry&) const = default;
};

std::ostream& operator<<(std::ostream& out, const AccessEntry& entry) {
    return out << "{type " << entry.type << ", flags " << entry.flags << ", mask 0x" << std::hex << entry.mask
               << std::dec << ", " << entry.sid << "}";
}

struct AccessList {
    bool isProtected = false;  // from the entries its folder passes on
    std::vector<AccessEntry> entries;
};

std::string sidText(PSID sid) {
    LPSTR text = nullptr;
    if (!::ConvertSidToStringSidA(sid, &text)) return "?";
    std::string result = text;
    ::LocalFree(text);
    return result;
}

std::string currentUserSid() {
    HANDLE token = nullptr;
    EXPECT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
    std::vector<std::uint64_t> user(64);
    DWORD size = 0;
    EXPECT_TRUE(::GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size() * 8), &size));
    ::CloseHandle(token);
    return sidText(static_cast<TOKEN_USER*>(static_cast<void*>(user.data()))->User.Sid);
}

HANDLE openForAccess(const fs::path& path, DWORD access) {
    return ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

AccessList accessListOf(const fs::path& path) {
    AccessList list;
    const HANDLE handle = openForAccess(path, READ_CONTROL);
    EXPECT_NE(handle, INVALID_HANDLE_VALUE) << path;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = ::GetSecurityInfo(handle, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                          nullptr, &descriptor);
    ::CloseHandle(handle);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_SUCCESS)) << path;
    if (error != ERROR_SUCCESS) return list;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(descriptor, &control, &revision);
    list.isProtected = (control & SE_DACL_PROTECTED) != 0;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace)) break;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        AccessEntry entry{header->AceType, header->AceFlags, 0, {}};
        if (header->AceType == ACCESS_ALLOWED_ACE_TYPE || header->AceType == ACCESS_DENIED_ACE_TYPE) {
            auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);  // a denied entry has the same layout
            entry.mask = allowed->Mask;
            entry.sid = sidText(&allowed->SidStart);
        }
        list.entries.push_back(entry);
    }
    ::LocalFree(descriptor);
    return list;
}

// Gives the file or folder the access list written in SDDL ("D:P(A;;FA;;;<sid>)").
void setAccessList(const fs::path& path, const std::string& sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        << sddl;
    const HANDLE handle = openForAccess(path, READ_CONTROL | WRITE_DAC);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE) << path;
    EXPECT_TRUE(::SetKernelObjectSecurity(handle, DACL_SECURITY_INFORMATION, descriptor)) << ::GetLastError();
    ::CloseHandle(handle);
    ::LocalFree(descriptor);
}

bool grantsEveryone(const AccessList& list) {
    for (const auto& entry : list.entries)
        if (entry.type == ACCESS_ALLOWED_ACE_TYPE && entry.sid == "S-1-1-0" && entry.mask != 0) return true;
    return false;
}

// Whether the list lets nobody but the current user (and the system itself) use the file.
bool onlyUser(const AccessList& list, const std::string& user) {
    for (const auto& entry : list.entries)
        if (entry.type == ACCESS_ALLOWED_ACE_TYPE && entry.sid != user && entry.sid != "S-1-5-18") return false;
    return !list.entries.empty();
}

// Files in a folder everyone may read: what a new file there inherits is wider than the
// original's own list, so a file that kept only its folder's rights would be seen.
class AccessLists : public WindowsPlatform {
protected:
    void SetUp() override {
        WindowsPlatform::SetUp();
        user_ = currentUserSid();
        shared_ = dir_ / "shared";
        fs::create_directories(shared_);
        setAccessList(shared_, "D:P(A;OICI;FA;;;" + user_ + ")(A;OICI;FR;;;WD)");
    }
    fs::path make(const std::string& name, platform::OpenMode mode = platform::OpenMode::CreateNew) {
        const fs::path path = shared_ / name;
        auto file = platform::File::open(path, mode);
        const std::string content = "recipes";
        file.writeAt(0, std::span(reinterpret_cast<const std::uint8_t*>(content.data()), content.size()));
        file.close();
        return path;
    }
    platform::FileState recorded(const fs::path& path) {
        return platform::File::open(path, platform::OpenMode::ReadOnly).state();
    }

    std::string user_;
    fs::path shared_;
};

TEST_F(AccessLists, AFileCreatedPrivateIsItsCreatorsAloneInAFolderEveryoneMayRead) {
    const AccessList open = accessListOf(make("open.dat"));
    ASSERT_TRUE(grantsEveryone(open)) << "a file created plainly takes the folder's rights";
    const AccessList closed = accessListOf(make("closed.dat", platform::OpenMode::CreateNewPrivate));
    EXPECT_FALSE(grantsEveryone(closed));
    EXPECT_TRUE(onlyUser(closed, user_)) << ::testing::PrintToString(closed.entries);
}

TEST_F(AccessLists, AProtectedListGoesWithTheFileThatTakesTheOriginalsPlace) {
    const fs::path original = make("original.dat");
    setAccessList(original, "D:P(A;;FA;;;" + user_ + ")");
    const platform::FileState state = recorded(original);
    ASSERT_FALSE(state.extended.acl.empty()) << "the open original's list is recorded";
    auto replacing = platform::File::open(shared_ / "new.dat", platform::OpenMode::CreateNew);
    ASSERT_TRUE(grantsEveryone(accessListOf(shared_ / "new.dat"))) << "the folder's rights are wider to begin with";
    const platform::AccessCarried carried = replacing.takeAccessOf(state);
    replacing.close();
    EXPECT_EQ(carried.notKept, std::vector<std::string>{});
    const AccessList want = accessListOf(original);
    const AccessList got = accessListOf(shared_ / "new.dat");
    EXPECT_EQ(got.entries, want.entries);
    EXPECT_EQ(got.isProtected, want.isProtected);
    EXPECT_FALSE(grantsEveryone(got));
    EXPECT_TRUE(onlyUser(got, user_)) << ::testing::PrintToString(got.entries);
    if (!want.isProtected)
        GTEST_SKIP() << "The lists matched entry by entry, but this system does not keep a file's access list as "
                        "it is set (wine maps it onto the Unix mode bits and reports a list made from them, never "
                        "protected), so whether protection carries over could not be seen here.";
}

TEST_F(AccessLists, APlainOriginalsPlaceTakerHasItsFoldersRightsAgain) {
    const fs::path original = make("original.dat");
    const platform::FileState state = recorded(original);
    auto replacing = platform::File::open(shared_ / "new.dat", platform::OpenMode::CreateNewPrivate);
    ASSERT_FALSE(grantsEveryone(accessListOf(shared_ / "new.dat"))) << "created private";
    const platform::AccessCarried carried = replacing.takeAccessOf(state);
    replacing.close();
    EXPECT_EQ(carried.notKept, std::vector<std::string>{});
    const AccessList want = accessListOf(original);
    const AccessList got = accessListOf(shared_ / "new.dat");
    EXPECT_FALSE(want.isProtected);
    EXPECT_FALSE(got.isProtected);
    EXPECT_EQ(got.entries, want.entries);
    EXPECT_TRUE(grantsEveryone(got)) << "as the folder gives it";
}

TEST_F(AccessLists, AListThatCannotBeSetLeavesTheFileToItsUserAloneAndIsNamed) {
    platform::FileState state = recorded(make("original.dat"));
    ASSERT_GT(state.extended.acl.size(), 20u);
    state.extended.acl.resize(20);  // a record cut short: the list itself is gone
    auto replacing = platform::File::open(shared_ / "new.dat", platform::OpenMode::CreateNew);
    ASSERT_TRUE(grantsEveryone(accessListOf(shared_ / "new.dat")));
    const platform::AccessCarried carried = replacing.takeAccessOf(state);
    replacing.close();
    ASSERT_EQ(carried.notKept.size(), 1u);
    EXPECT_NE(carried.notKept[0].find("access list (DACL)"), std::string::npos) << carried.notKept[0];
    const AccessList got = accessListOf(shared_ / "new.dat");
    EXPECT_FALSE(grantsEveryone(got));
    EXPECT_TRUE(onlyUser(got, user_)) << ::testing::PrintToString(got.entries);
}

TEST_F(AccessLists, AnOriginalWithNoListRecordedLeavesAPrivateFilePrivate) {
    const fs::path original = make("original.dat");
    const auto state = platform::fileState(original);  // from the path: no list is read
    ASSERT_TRUE(state);
    EXPECT_TRUE(state->extended.acl.empty());
    auto replacing = platform::File::open(shared_ / "new.dat", platform::OpenMode::CreateNewPrivate);
    EXPECT_EQ(replacing.takeAccessOf(*state).notKept, std::vector<std::string>{});
    replacing.close();
    EXPECT_FALSE(grantsEveryone(accessListOf(shared_ / "new.dat")));
}

TEST_F(AccessLists, AnUpgradedCookbookKeepsTheOriginalsList) {
    const fs::path cookbook = sample(shared_ / "family.rcp");
    setAccessList(cookbook, "D:P(A;;FA;;;" + user_ + ")");
    const AccessList before = accessListOf(cookbook);
    ASSERT_FALSE(grantsEveryone(before));
    const auto result = upgrade(cookbook);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_EQ(result.err.find("could not keep"), std::string::npos) << result.err;
    const AccessList after = accessListOf(cookbook);
    EXPECT_EQ(after.entries, before.entries);
    EXPECT_EQ(after.isProtected, before.isProtected);
    EXPECT_FALSE(grantsEveryone(after));
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
