// Restore and recovery touch only the cookbook's own files: a backup belongs to the cookbook its
// record names, restore copies it and keeps it, and nothing another user plants (a link at the
// cookbook's name or in Backup, a record, a shared folder) is obeyed. A restore killed at any of
// its file operations leaves no duplicate, and the next one completes.
#include <fstream>

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/file.h"
#include "support/fixtures.h"
#include "support/process.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;

bool holds(const std::string& said, const std::string& text) { return said.find(text) != std::string::npos; }

class Restore : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = makeTempDir("restore");
        program_ = dir_ / "program";
    }
    void TearDown() override { checkAndRemoveTempDir(dir_, {"tempdb.mdb"}); }

    fs::path sample(const fs::path& path, int recipes = 3) {
        fs::create_directories(path.parent_path());
        const auto made = zestrel({"sample", "--layout", "1.0", "--recipes", std::to_string(recipes),
                                   "--ingredients-per-recipe", "2", path.string()});
        EXPECT_EQ(made.exitCode, 0) << made.err;
        return path;
    }
    ProcessResult upgrade(const fs::path& cookbook, const std::vector<std::string>& environment = {}) {
        return zestrel({"upgrade", "--program-folder", program_.string(), cookbook.string()}, environment);
    }
    ProcessResult restore(std::vector<std::string> args, const std::vector<std::string>& environment = {}) {
        args.insert(args.begin(), {"restore", "--program-folder", program_.string()});
        return zestrel(args, environment);
    }
    std::vector<fs::path> backupFiles() const {
        std::vector<fs::path> files;
        if (fs::is_directory(program_ / "Backup"))
            for (const auto& entry : fs::directory_iterator(program_ / "Backup")) files.push_back(entry.path());
        std::sort(files.begin(), files.end());
        return files;
    }
    fs::path dir_;
    fs::path program_;
};

// Two cookbooks named family.rcp in two folders, upgraded with one program folder: each restore
// puts back that cookbook's own original, and the list names where each backup came from. A
// cookbook moved after its upgrade is still known by the file the upgrade wrote.
TEST_F(Restore, EachOfTwoCookbooksOfOneNameGetsItsOwnBackup) {
    const fs::path documents = sample(dir_ / "Documents" / "family.rcp", 12);
    const fs::path stick = sample(dir_ / "usb" / "family.rcp", 3);
    const std::string documentsOriginal = fileBytes(documents);
    const std::string stickOriginal = fileBytes(stick);
    ASSERT_EQ(upgrade(documents).exitCode, 0);
    ASSERT_EQ(upgrade(stick).exitCode, 0);

    const auto listed = splitLines(restore({"--list", documents.string()}).out);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_TRUE(holds(listed[0], "\tof " + fs::canonical(documents).string())) << listed[0];
    const auto restored = restore({documents.string()});
    ASSERT_EQ(restored.exitCode, 0) << restored.err;
    EXPECT_EQ(fileBytes(documents), documentsOriginal);
    EXPECT_NE(fileBytes(stick), stickOriginal) << "the other cookbook is untouched";

    const fs::path moved = dir_ / "usb" / "family-moved.rcp";
    fs::rename(stick, moved);
    const auto fromMoved = restore({moved.string()});
    ASSERT_EQ(fromMoved.exitCode, 0) << fromMoved.err;
    EXPECT_EQ(fileBytes(moved), stickOriginal);
}

// What an upgrade or a restore is handed as its program folder must be the caller's alone: a
// folder others may write is refused before anything is written in it.
TEST_F(Restore, AProgramFolderOthersMayWriteIsRefusedBeforeAnythingIsWritten) {
#ifdef _WIN32
    GTEST_SKIP() << "a Windows folder takes its access from its parent";
#else
    const fs::path cookbook = sample(dir_ / "cb" / "family.rcp");
    const std::string before = fileBytes(cookbook);
    fs::create_directories(program_);
    fs::permissions(program_, fs::perms::all);
    for (const auto& result : {upgrade(cookbook), restore({cookbook.string()})}) {
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(holds(result.err, "70 - Permission denied: the program folder " + program_.string() + " is not yours"))
            << result.err;
        EXPECT_TRUE(holds(result.err, "chmod 700")) << result.err;
    }
    EXPECT_TRUE(fs::is_empty(program_)) << "nothing was written in the shared folder";
    EXPECT_EQ(fileBytes(cookbook), before);
    fs::permissions(program_, fs::perms::owner_all);
#endif
}

// A run record is data, never a line break: a cookbook whose file name holds line breaks and a
// forged record, killed just after its record was written, makes the next run remove nothing but
// what its own run made.
TEST_F(Restore, AFileNameCannotForgeTheRunRecord) {
#ifdef _WIN32
    GTEST_SKIP() << "a Windows file name holds no line break";
#else
    const fs::path work = dir_ / "home";
    fs::create_directories(work);
    std::ofstream(work / "important.txt") << "keep me";
    const auto important = platform::fileState(work / "important.txt");
    const std::string forged = "x\nimportant.txt\n" + std::to_string(important->device) + " " +
                               std::to_string(important->inode) + " 7\n.rcp";
    const fs::path cookbook = sample(dir_ / "shared" / forged);
    const auto runIn = [&](const fs::path& file, long killAt) {
        std::vector<std::string> environment{"WORK=" + work.string(), "Z=" + zestrelProgram().string(),
                                             "PF=" + program_.string(), "CB=" + file.string()};
        if (killAt > 0) environment.push_back("ZESTREL_KILL_AT_OPERATION=" + std::to_string(killAt));
        return runProcess({"sh", "-c", "cd \"$WORK\" && exec \"$Z\" upgrade --program-folder \"$PF\" \"$CB\""},
                          environment);
    };
    bool recorded = false;
    for (long point = 1; point < 400 && !recorded; ++point) {
        const auto killed = runIn(cookbook, point);
        ASSERT_EQ(killed.exitCode, -1) << "the run ended before its record was written: " << killed.err;
        recorded = fs::exists(program_ / ".zestrel-run");
    }
    ASSERT_TRUE(recorded);
    const auto next = runIn(sample(dir_ / "other" / "other.rcp"), 0);
    EXPECT_EQ(next.exitCode, 0) << next.err;
    EXPECT_EQ(fileBytes(work / "important.txt"), "keep me");
    EXPECT_FALSE(fs::exists(program_ / ".zestrel-run"));
#endif
}

// Restore takes the cookbook's own lock: while an upgrade holds the cookbook, it stops at once.
TEST_F(Restore, ACookbookAnotherRunHoldsIsNotRestored) {
    const fs::path cookbook = sample(dir_ / "family.rcp");
    ASSERT_EQ(upgrade(cookbook).exitCode, 0);
    const std::string upgraded = fileBytes(cookbook);
    {
        platform::File held = test::holdAsAnotherRun(cookbook);
        const auto refused = restore({cookbook.string()});
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_TRUE(holds(refused.err, "3045 - ")) << refused.err;
    }
    EXPECT_EQ(fileBytes(cookbook), upgraded);
    for (const auto& file : backupFiles())
        EXPECT_FALSE(holds(file.filename().string(), "_upgraded")) << file << ": a kept copy of a restore that did not happen";
}

// What only carries a backup's name is not put in a cookbook's place: a link, a file that is no
// Jet database; nor is anything at the cookbook's name that is not a regular file replaced.
TEST_F(Restore, OnlyARegularCookbookTakesOrGivesThePlace) {
    const fs::path cookbook = sample(dir_ / "family.rcp");
    ASSERT_EQ(upgrade(cookbook).exitCode, 0);
    const std::string upgraded = fileBytes(cookbook);
    std::ofstream(dir_ / "notes.txt") << "no cookbook";
    const auto noCookbook = restore({"--from", (dir_ / "notes.txt").string(), cookbook.string()});
    EXPECT_EQ(noCookbook.exitCode, 1);
    EXPECT_TRUE(holds(noCookbook.err, "is not a Jet database")) << noCookbook.err;
#ifndef _WIN32
    std::ofstream(dir_ / "secret") << "private";
    fs::permissions(dir_ / "secret", fs::perms::owner_read | fs::perms::owner_write);
    const fs::path backup = program_ / "Backup" / "family_backup.rcp";
    fs::rename(backup, dir_ / "kept-aside.rcp");
    fs::create_symlink(dir_ / "secret", backup);
    const auto linked = restore({cookbook.string()});
    EXPECT_EQ(linked.exitCode, 1);
    EXPECT_EQ(fileBytes(cookbook), upgraded);
    EXPECT_EQ(fileBytes(dir_ / "secret"), "private");
    const auto linkNamed = restore({"--from", backup.string(), cookbook.string()});
    EXPECT_EQ(linkNamed.exitCode, 1);
    EXPECT_TRUE(holds(linkNamed.err, "is not a regular file")) << linkNamed.err;
    fs::remove(backup);
    fs::rename(dir_ / "kept-aside.rcp", backup);

    const fs::path pipe = dir_ / "pipe.rcp";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const auto overPipe = restore({"--from", backup.string(), pipe.string()});
    EXPECT_EQ(overPipe.exitCode, 1);
    EXPECT_TRUE(holds(overPipe.err, "is not a regular file")) << overPipe.err;
    for (const auto& file : backupFiles()) EXPECT_FALSE(holds(file.filename().string(), "pipe")) << file;
    fs::remove(pipe);
#endif
    EXPECT_EQ(fileBytes(cookbook), upgraded);
}

// Killed at each of its file operations in turn, a restore leaves the cookbook's path with the
// upgraded cookbook or the restored backup, the backup whole, and at most one kept copy; the
// restore after it completes and leaves nothing behind.
TEST_F(Restore, KillingTheRestoreAtEveryFileOperationLeavesNoDuplicate) {
    const fs::path cookbook = dir_ / "cb" / "family.rcp";
    const fs::path backup = program_ / "Backup" / "family_backup.rcp";
    int killed = 0;
    for (long point = 1; point < 500; ++point) {
        SCOPED_TRACE("killed at file operation " + std::to_string(point));
        fs::remove_all(program_);
        fs::remove_all(cookbook.parent_path());
        const std::string original = fileBytes(sample(cookbook));
        ASSERT_EQ(upgrade(cookbook).exitCode, 0);
        const std::string upgraded = fileBytes(cookbook);
        const auto run = restore({cookbook.string()}, {"ZESTREL_KILL_AT_OPERATION=" + std::to_string(point)});
        if (run.exitCode != -1) {
            EXPECT_EQ(run.exitCode, 0) << run.err;
            break;
        }
        ++killed;
        const std::string at = fileBytes(cookbook);
        EXPECT_TRUE(at == original || at == upgraded) << "the cookbook's path holds neither";
        EXPECT_EQ(fileBytes(backup), original);
        const auto again = restore({cookbook.string()});
        ASSERT_EQ(again.exitCode, 0) << again.err;
        EXPECT_EQ(fileBytes(cookbook), original);
        int kept = 0;
        for (const auto& file : backupFiles()) {
            EXPECT_FALSE(holds(file.filename().string(), "zestrel-partial")) << file;
            if (holds(file.filename().string(), "_upgraded") && file.extension() == ".rcp") {
                ++kept;
                EXPECT_EQ(fileBytes(file), upgraded) << file;
            }
        }
        for (const auto& entry : fs::directory_iterator(cookbook.parent_path()))
            EXPECT_EQ(entry.path(), cookbook) << "left beside the cookbook";
        EXPECT_EQ(kept, 1) << "a restore that died left a second kept copy";
        if (HasFailure()) break;
    }
    EXPECT_GT(killed, 10);
}

#ifndef _WIN32
constexpr uid_t kOtherUser = 65534;

// A cookbook in a folder other users may write, not sticky: anything beside it could be swapped
// during the run, so the upgrade and restore refuse it, naming the folder, and write nothing.
// A sticky folder of the caller's is no such folder.
TEST_F(Restore, AFolderOthersMayWriteIsRefusedAndASharedStickyOneIsNot) {
    const fs::path shared = dir_ / "shared";
    const fs::path cookbook = sample(shared / "family.rcp");
    const std::string before = fileBytes(cookbook);
    fs::permissions(shared, fs::perms::all);
    for (const auto& result : {upgrade(cookbook), restore({cookbook.string()})}) {
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_TRUE(holds(result.err, "lies in the folder " + shared.string() +
                                          ", and other users can replace files in this folder during the upgrade; "
                                          "move the cookbook to a folder only you can write"))
            << result.err;
    }
    EXPECT_EQ(fileBytes(cookbook), before);
    for (const auto& entry : fs::directory_iterator(shared)) EXPECT_EQ(entry.path(), cookbook) << "written beside it";
    EXPECT_FALSE(fs::exists(program_ / "Backup" / "family_backup.rcp"));
    fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
    EXPECT_EQ(upgrade(cookbook).exitCode, 0);
}

// Root restores a user's cookbook in the user's folder; the user has put a symbolic link to a
// file only root may read in the cookbook's place. The link is not followed: the root-only file
// keeps its content, owner and mode. Nor is a program folder of the user's taken by root.
TEST_F(Restore, RootFollowsNoLinkTheCookbooksOwnerPlanted) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can act for two users here";
    const fs::path home = dir_ / "home";
    const fs::path cookbook = sample(home / "fam.rcp");
    ASSERT_EQ(::chown(home.c_str(), kOtherUser, kOtherUser), 0);
    ASSERT_EQ(::chown(cookbook.c_str(), kOtherUser, kOtherUser), 0);
    ASSERT_EQ(upgrade(cookbook).exitCode, 0);
    const fs::path secret = dir_ / "root-only";
    std::ofstream(secret) << "root's";
    fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
    fs::remove(cookbook);
    fs::create_symlink(secret, cookbook);
    ASSERT_EQ(::lchown(cookbook.c_str(), kOtherUser, kOtherUser), 0);
    const auto restored = restore({cookbook.string()});
    EXPECT_EQ(restored.exitCode, 1);
    EXPECT_TRUE(holds(restored.err, "is a symbolic link that another user made")) << restored.err;
    EXPECT_EQ(upgrade(cookbook).exitCode, 1);
    struct stat st {};
    ASSERT_EQ(::stat(secret.c_str(), &st), 0);
    EXPECT_EQ(fileBytes(secret), "root's");
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(st.st_mode & 07777, 0600u);

    const fs::path usersFolder = dir_ / "users-program";
    fs::create_directories(usersFolder);
    ASSERT_EQ(::chown(usersFolder.c_str(), kOtherUser, kOtherUser), 0);
    fs::permissions(usersFolder, fs::perms::owner_all);
    const auto refused = zestrel({"restore", "--program-folder", usersFolder.string(), cookbook.string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(holds(refused.err, "is not yours alone")) << refused.err;
}
#endif

}  // namespace
}  // namespace zestrel::test
