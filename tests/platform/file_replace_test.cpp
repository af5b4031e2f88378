// Putting a complete file at a final name: the backup's link or copy never
// replaces a file, a replacement leaves the new file at the name (also from
// another file system), temporary names are recognised and removed, and no
// temporary is left behind, also when an operation fails.
#include "platform/file_replace.h"

#include <fstream>
#include <optional>

#include <gtest/gtest.h>

#include "platform/fault_injection.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "support/fixtures.h"

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;

void write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::vector<fs::path> temporariesIn(const fs::path& folder) {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(folder))
        if (isTemporaryPath(entry.path())) found.push_back(entry.path());
    return found;
}

// Files in a scratch folder; `other` is a folder on another file system, when there is one.
class FileReplace : public ::testing::Test {
protected:
    void SetUp() override { dir_ = test::makeTempDir("replace"); }
    void TearDown() override {
        faults::disarm();
        if (other_) test::checkAndRemoveTempDir(*other_);
        test::checkAndRemoveTempDir(dir_);
    }
    const fs::path& otherFileSystem() {
        if (!other_) other_ = test::makeTempDirOnOtherFileSystem("replace");
        return *other_;
    }
    bool haveOtherFileSystem() { return otherFileSystem().empty() == false; }

    fs::path dir_;
    std::optional<fs::path> other_;
};

TEST_F(FileReplace, TemporaryNamesAreRecognisedAndNeverTakenForCookbooksOrBackups) {
    const fs::path temporary = temporaryPathFor(dir_ / "family_backup.rcp");
    EXPECT_EQ(temporary.parent_path(), dir_);
    EXPECT_TRUE(isTemporaryPath(temporary));
    EXPECT_NE(temporary.extension(), ".rcp");
    EXPECT_NE(temporary.extension(), ".mdb");
    for (const char* name : {"family.rcp", "family_backup.rcp", "tempdb.mdb", ".hidden", ".zestrel-partial"})
        EXPECT_FALSE(isTemporaryPath(dir_ / name)) << name;
    write(temporary, "half");
    write(dir_ / "family_backup.rcp", "whole");
    write(dir_ / ".hidden", "kept");
    removeTemporaries(dir_);
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_EQ(test::fileBytes(dir_ / "family_backup.rcp"), "whole");
    EXPECT_EQ(test::fileBytes(dir_ / ".hidden"), "kept");
    EXPECT_NO_THROW(removeTemporaries(dir_ / "missing"));
}

TEST_F(FileReplace, ABackupOnOneFileSystemIsAHardLinkAndNeverReplacesAFile) {
    write(dir_ / "family.rcp", "original");
    write(dir_ / "taken.rcp", "another original");
    linkOrCopy(dir_ / "family.rcp", dir_ / "backup.rcp");
    EXPECT_EQ(test::fileBytes(dir_ / "family.rcp"), "original");
    EXPECT_EQ(test::fileBytes(dir_ / "backup.rcp"), "original");
    EXPECT_EQ(fileIdentity(dir_ / "family.rcp"), fileIdentity(dir_ / "backup.rcp"));
    EXPECT_THROW(linkOrCopy(dir_ / "family.rcp", dir_ / "taken.rcp"), FileError);
    EXPECT_EQ(test::fileBytes(dir_ / "taken.rcp"), "another original");
}

TEST_F(FileReplace, ABackupOnAnotherFileSystemIsACompleteCopyAndNoTemporaryStays) {
    if (!haveOtherFileSystem()) GTEST_SKIP() << "no tmpfs at /dev/shm on another file system";
    write(dir_ / "family.rcp", std::string(3 << 20, 'x'));
    const fs::path backup = otherFileSystem() / "backup.rcp";
    linkOrCopy(dir_ / "family.rcp", backup);
    EXPECT_EQ(test::fileBytes(backup), test::fileBytes(dir_ / "family.rcp"));
    EXPECT_NE(fileIdentity(dir_ / "family.rcp"), fileIdentity(backup));
    EXPECT_TRUE(temporariesIn(otherFileSystem()).empty());
}

TEST_F(FileReplace, ACopyThatFailsLeavesNeitherTheNameNorATemporary) {
    if (!haveOtherFileSystem()) GTEST_SKIP() << "no tmpfs at /dev/shm on another file system";
    write(dir_ / "family.rcp", "original");
    const fs::path backup = otherFileSystem() / "backup.rcp";
    // link (refused: another file system), stale temporary's removal, copy, open, open, read, write, fsync.
    for (long k = 1; k <= 8; ++k) {
        SCOPED_TRACE("operation " + std::to_string(k) + " fails");
        faults::arm(k);
        EXPECT_THROW(linkOrCopy(dir_ / "family.rcp", backup), FileError);
        faults::disarm();
        EXPECT_FALSE(fs::exists(backup));
        EXPECT_TRUE(temporariesIn(otherFileSystem()).empty());
    }
}

TEST_F(FileReplace, AReplacementPutsTheNewFileAtTheNameInOneStep) {
    write(dir_ / "family.rcp", "original");
    write(dir_ / "tempdb.mdb", "upgraded");
    replaceFile(dir_ / "tempdb.mdb", dir_ / "family.rcp", Source::Move);
    EXPECT_EQ(test::fileBytes(dir_ / "family.rcp"), "upgraded");
    EXPECT_FALSE(fs::exists(dir_ / "tempdb.mdb"));
    EXPECT_TRUE(temporariesIn(dir_).empty());
}

TEST_F(FileReplace, AReplacementFromAnotherFileSystemLeavesTheSourceForTheCaller) {
    if (!haveOtherFileSystem()) GTEST_SKIP() << "no tmpfs at /dev/shm on another file system";
    write(dir_ / "family.rcp", "original");
    const fs::path source = otherFileSystem() / "tempdb.mdb";
    write(source, "upgraded");
    write(temporaryPathFor(dir_ / "family.rcp"), "left by a run that died");
    replaceFile(source, dir_ / "family.rcp", Source::Move);
    EXPECT_EQ(test::fileBytes(dir_ / "family.rcp"), "upgraded");
    EXPECT_EQ(test::fileBytes(source), "upgraded");
    EXPECT_TRUE(temporariesIn(dir_).empty());
}

TEST_F(FileReplace, AReplacementKeepingTheSourceLeavesBothInPlace) {
    write(dir_ / "family.rcp", "upgraded");
    write(dir_ / "backup.rcp", "original");
    replaceFile(dir_ / "backup.rcp", dir_ / "family.rcp", Source::Keep);
    EXPECT_EQ(test::fileBytes(dir_ / "family.rcp"), "original");
    EXPECT_EQ(test::fileBytes(dir_ / "backup.rcp"), "original");
    EXPECT_TRUE(temporariesIn(dir_).empty());
}

#ifndef _WIN32
// A private cookbook stays private and a shared one shared: the file put in a file's place gets
// that file's permission bits, whichever way it gets there; a copy gets those of its original.
TEST_F(FileReplace, TheFileAtTheNameKeepsItsPermissionBits) {
    const auto mode = [](const fs::path& path) { return fs::status(path).permissions() & fs::perms::all; };
    const fs::perms privateMode = fs::perms::owner_read | fs::perms::owner_write;
    const fs::perms sharedMode = privateMode | fs::perms::group_read | fs::perms::group_write;
    std::vector<fs::path> sources{dir_};
    if (haveOtherFileSystem()) sources.push_back(otherFileSystem());
    int round = 0;
    for (const fs::path& folder : sources) {
        for (const fs::perms wanted : {privateMode, sharedMode}) {
            for (const Source how : {Source::Move, Source::Keep}) {
                SCOPED_TRACE("round " + std::to_string(++round));
                const fs::path cookbook = dir_ / ("cookbook" + std::to_string(round) + ".rcp");
                const fs::path upgraded = folder / ("new" + std::to_string(round) + ".mdb");
                write(cookbook, "old");
                fs::permissions(cookbook, wanted);
                write(upgraded, "new");
                fs::permissions(upgraded, fs::perms::owner_all | fs::perms::others_read);
                replaceFile(upgraded, cookbook, how);
                EXPECT_EQ(test::fileBytes(cookbook), "new");
                EXPECT_EQ(mode(cookbook), wanted);
                if (fs::exists(upgraded)) fs::remove(upgraded);
            }
            const fs::path original = folder / ("original" + std::to_string(round) + ".rcp");
            write(original, "old");
            fs::permissions(original, wanted);
            const fs::path backup = dir_ / ("backup" + std::to_string(round) + ".rcp");
            linkOrCopy(original, backup);
            EXPECT_EQ(mode(backup), wanted);
        }
    }
}
#endif

TEST_F(FileReplace, AReplacementThatFailsBeforeItsRenameLeavesTheOldFile) {
    if (!haveOtherFileSystem()) GTEST_SKIP() << "no tmpfs at /dev/shm on another file system";
    write(dir_ / "family.rcp", "original");
    const fs::path source = otherFileSystem() / "tempdb.mdb";
    write(source, "upgraded");
    // rename (another file system), stale temporary's removal, copy, open, open, read, write, fsync,
    // close, and the rename over the name.
    for (long k = 1; k <= 10; ++k) {
        SCOPED_TRACE("operation " + std::to_string(k) + " fails");
        faults::arm(k);
        EXPECT_THROW(replaceFile(source, dir_ / "family.rcp", Source::Move), FileError);
        faults::disarm();
        EXPECT_EQ(test::fileBytes(dir_ / "family.rcp"), "original");
        EXPECT_TRUE(temporariesIn(dir_).empty());
    }
}

TEST_F(FileReplace, MovingAcrossFileSystemsNeverNamesAPartialFile) {
    if (!haveOtherFileSystem()) GTEST_SKIP() << "no tmpfs at /dev/shm on another file system";
    write(dir_ / "a", "content");
    const fs::path to = otherFileSystem() / "a";
    moveFile(dir_ / "a", to);
    EXPECT_EQ(test::fileBytes(to), "content");
    EXPECT_FALSE(fs::exists(dir_ / "a"));
    EXPECT_TRUE(temporariesIn(otherFileSystem()).empty());
}

}  // namespace
}  // namespace zestrel::platform
