// The folder lock: one holder at a time, also within one process; asking
// never waits; the lock goes with its holder, also when the holder is a
// process that was killed.
#include "platform/folder_lock.h"

#include <gtest/gtest.h>

#include "platform/file.h"
#include "support/fixtures.h"
#include "support/process.h"

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;

TEST(FolderLock, OneHolderAtATimeAndReleasedWithItsHolder) {
    const fs::path dir = test::makeTempDir("lock");
    {
        auto first = FolderLock::tryAcquire(dir);
        ASSERT_TRUE(first);
        EXPECT_FALSE(FolderLock::tryAcquire(dir)) << "a second holder got the lock";
        FolderLock moved = std::move(*first);
        first.reset();
        EXPECT_FALSE(FolderLock::tryAcquire(dir)) << "the moved lock was released";
    }
    EXPECT_TRUE(FolderLock::tryAcquire(dir)) << "the lock outlived its holder";
#ifdef _WIN32
    // A folder cannot be locked on Windows: its lock file is the one thing taking the lock writes.
    for (const auto& entry : fs::directory_iterator(dir)) EXPECT_EQ(entry.path().filename(), ".zestrel-lock");
#else
    EXPECT_TRUE(fs::is_empty(dir)) << "taking the lock wrote into the folder";
#endif
    test::checkAndRemoveTempDir(dir);
}

TEST(FolderLock, AnotherProcessIsKeptOutAndAKilledHolderBlocksNobody) {
    if (!test::programExists("flock")) GTEST_SKIP() << "the flock program (util-linux) is needed to hold a lock from another process";
    const fs::path dir = test::makeTempDir("lock");
    {
        auto held = FolderLock::tryAcquire(dir);
        ASSERT_TRUE(held);
        const auto other = test::runProcess({"flock", "--nonblock", "--exclusive", dir.string(), "true"});
        EXPECT_EQ(other.exitCode, 1) << "another process took the lock: " << other.err;
    }
    // A holder that is killed while it holds the lock (its command, which does the killing, does
    // not inherit the lock).
    const auto killed = test::runProcess({"flock", "--close", "--exclusive", dir.string(), "sh", "-c", "kill -9 $PPID"});
    EXPECT_EQ(killed.exitCode, -1);
    EXPECT_TRUE(FolderLock::tryAcquire(dir)) << "the lock of a killed process still blocks";
    test::checkAndRemoveTempDir(dir);
}

TEST(FolderLock, AMissingFolderIsAFailureNotAnotherHolder) {
    const fs::path dir = test::makeTempDir("lock");
    EXPECT_THROW(FolderLock::tryAcquire(dir / "missing"), FileError);
    test::checkAndRemoveTempDir(dir);
}

}  // namespace
}  // namespace zestrel::platform
