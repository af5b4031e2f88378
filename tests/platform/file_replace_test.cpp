// Putting a complete file at a final name: the backup's link or copy never
// replaces a file, a replacement leaves the new file at the name (also from
// another file system), temporary names are recognised and removed, and no
// temporary is left behind, also when an operation fails.
#include "platform/file_replace.h"

#include <fstream>
#include <optional>
#ifndef _WIN32
#include <sys/stat.h>
#endif

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

TEST_F(FileReplace, TemporaryNamesAreShortWhateverTheFinalName) {
    const std::string longName(250, 'n');
    const fs::path temporary = temporaryPathFor(dir_ / longName);
    EXPECT_LE(temporary.filename().string().size(), 40u);
    EXPECT_EQ(temporary, temporaryPathFor(dir_ / longName)) << "the next run finds what a dead run left";
    EXPECT_NE(temporaryPathFor(dir_ / "a.rcp"), temporaryPathFor(dir_ / "b.rcp"));
    EXPECT_TRUE(isTemporaryPath(temporary));
}

TEST_F(FileReplace, AFileWithAnotherNameIsCopiedNotLinked) {
    write(dir_ / "family.rcp", "original");
    fs::create_hard_link(dir_ / "family.rcp", dir_ / "second name.rcp");
    linkOrCopy(dir_ / "family.rcp", dir_ / "backup.rcp");
    EXPECT_EQ(fs::hard_link_count(dir_ / "backup.rcp"), 1u);
    write(dir_ / "second name.rcp", "changed through the other name");
    EXPECT_EQ(test::fileBytes(dir_ / "backup.rcp"), "original");
}

TEST_F(FileReplace, ALockKeepsOutEveryOtherHandleUntilItsHandleCloses) {
    write(dir_ / "family.rcp", "original");
    File first = File::open(dir_ / "family.rcp", OpenMode::ReadOnly);
    File second = File::open(dir_ / "family.rcp", OpenMode::ReadOnly);
    EXPECT_TRUE(first.tryLock());
    EXPECT_FALSE(second.tryLock());
    first.close();
    EXPECT_TRUE(second.tryLock());
}

#ifndef _WIN32
TEST_F(FileReplace, APipeIsRefusedAtOnce) {
    ASSERT_EQ(::mkfifo((dir_ / "pipe.rcp").c_str(), 0600), 0);
    try {
        File::open(dir_ / "pipe.rcp", OpenMode::ReadOnly);
        ADD_FAILURE() << "a pipe was opened";
    } catch (const FileError& e) {
        EXPECT_EQ(e.errorNumber(), kNotARegularFile);
        EXPECT_NE(std::string(e.what()).find("not a regular file"), std::string::npos) << e.what();
    }
    fs::remove(dir_ / "pipe.rcp");
}

// Someone who may write the cookbook's folder swaps the new file for a symbolic link to a file of
// another owner just before the rename: that file is never touched (its mode and content stay),
// and the rename is found not to have given the name the file this program wrote.
TEST_F(FileReplace, AFileSwappedForALinkBeforeTheRenameIsCaughtAndNothingIsFollowed) {
    write(dir_ / "secret", "private");
    fs::permissions(dir_ / "secret", fs::perms::owner_read | fs::perms::owner_write);
    struct Way {
        const char* name;
        Source source;
        bool otherFileSystem;
    };
    for (const Way way :
         {Way{"kept, linked beside", Source::Keep, false}, Way{"moved, copied beside", Source::Move, true}}) {
        SCOPED_TRACE(way.name);
        if (way.otherFileSystem && !haveOtherFileSystem()) continue;
        const fs::path cookbook = dir_ / "family.rcp";
        write(cookbook, "old");
        fs::permissions(cookbook, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                      fs::perms::others_read);
        const fs::path source = (way.otherFileSystem ? otherFileSystem() : dir_) / "new.mdb";
        write(source, "new");
        const fs::path part = temporaryPathFor(cookbook);
        try {
            replaceFile(source, cookbook, way.source, [&] {
                ASSERT_TRUE(fs::exists(part)) << way.name;
                fs::rename(part, dir_ / "taken away");
                fs::create_symlink(dir_ / "secret", part);
            });
            ADD_FAILURE() << "the swap went unnoticed";
        } catch (const FileError& e) {
            EXPECT_EQ(e.errorNumber(), kReplacedByAnother) << e.what();
        }
        EXPECT_EQ(fs::status(dir_ / "secret").permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_EQ(test::fileBytes(dir_ / "secret"), "private");
        EXPECT_TRUE(fs::is_symlink(cookbook)) << "the rename moved the link; the caller puts the original back";
        fs::remove(cookbook);
        fs::remove(dir_ / "taken away");
        if (fs::exists(source)) fs::remove(source);
    }
    fs::remove(dir_ / "secret");
}
#endif

}  // namespace
}  // namespace zestrel::platform
