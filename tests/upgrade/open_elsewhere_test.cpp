// A cookbook another program has open to write (or whose engine lock file it holds) is not
// upgraded or restored: that program's next save would be lost. A process that may only read the
// cookbook cannot hold upgrades off with a lock of its own.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <fstream>

#include "support/fixtures.h"
#include "support/process.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;

#ifndef _WIN32

enum class Hold { OpenForWriting, LockFileRange, LockFileFlock, ReadersFlock, ReadersRecordLock, OpenToRead };

// Another process holding the file as `hold` says until the test ends.
class OtherProcess {
public:
    OtherProcess(const fs::path& file, Hold hold) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            const bool writes = hold == Hold::OpenForWriting || hold == Hold::LockFileRange;
            const int fd = ::open(file.c_str(), writes ? O_RDWR : O_RDONLY);
            struct flock range {};
            range.l_type = hold == Hold::ReadersRecordLock ? F_RDLCK : F_WRLCK;
            range.l_whence = SEEK_SET;
            range.l_len = 1;
            if (hold == Hold::ReadersRecordLock) range.l_len = 0;  // the whole file, and beyond its end
            if (hold == Hold::LockFileRange || hold == Hold::ReadersRecordLock) ::fcntl(fd, F_SETLK, &range);
            if (hold == Hold::LockFileFlock) ::flock(fd, LOCK_EX);
            if (hold == Hold::ReadersFlock) ::flock(fd, LOCK_EX);
            if (::write(ready[1], "x", 1) != 1) _exit(1);
            ::pause();
            _exit(0);
        }
        char byte = 0;
        ::close(ready[1]);
        if (::read(ready[0], &byte, 1) != 1) ADD_FAILURE() << "the other process did not start";
        ::close(ready[0]);
    }
    ~OtherProcess() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;

private:
    pid_t pid_ = -1;
};

struct HoldCase {
    const char* label;
    Hold hold;
    bool onLockFile;
    const char* refusal;  // nothing: the upgrade goes ahead
};

class OpenElsewhere : public UpgradeTest, public ::testing::WithParamInterface<HoldCase> {};

TEST_P(OpenElsewhere, IsRefusedOrIgnoredAsItsKindCallsFor) {
    const HoldCase& c = GetParam();
    const fs::path cookbook = dir_ / "family.rcp";
    const auto made = zestrel({"sample", "--layout", "1.1", "--recipes", "5", cookbook.string()});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const fs::path lockFile = dir_ / "family.ldb";
    if (c.onLockFile) std::ofstream(lockFile) << std::string(64, '\0');
    const std::string before = bytesOf(cookbook);
    const auto upgrade = [&] {
        return zestrel({"upgrade", "--program-folder", program_.string(), cookbook.string()});
    };
    {
        const OtherProcess other(c.onLockFile ? lockFile : cookbook, c.hold);
        const auto run = upgrade();
        if (c.refusal) {
            EXPECT_EQ(run.exitCode, 1) << run.err;
            EXPECT_NE(run.err.find("3051 - Cannot use " + cookbook.string() + ": another program has the cookbook open (" +
                                   c.refusal + "); close it and try again. Nothing was changed."),
                      std::string::npos)
                << run.err;
            EXPECT_EQ(bytesOf(cookbook), before);
            EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
        } else {
            EXPECT_EQ(run.exitCode, 0) << run.err;
        }
    }
    if (c.refusal) {
        const auto after = upgrade();  // once the other program is gone, the upgrade goes ahead
        EXPECT_EQ(after.exitCode, 0) << after.err;
    }
    if (c.onLockFile) fs::remove(lockFile);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenElsewhere,
    ::testing::Values(HoldCase{"OpenForWriting", Hold::OpenForWriting, false, "it is open for writing"},
                      HoldCase{"LockFileRange", Hold::LockFileRange, true, "its lock file family.ldb is in use"},
                      HoldCase{"LockFileFlock", Hold::LockFileFlock, true, "its lock file family.ldb is in use"},
                      HoldCase{"LockFileLeftByACrash", Hold::OpenToRead, true, nullptr},
                      HoldCase{"ReaderOfTheCookbook", Hold::OpenToRead, false, nullptr},
                      HoldCase{"ReadersFlockOnTheCookbook", Hold::ReadersFlock, false, nullptr},
                      HoldCase{"ReadersRecordLockOnTheCookbook", Hold::ReadersRecordLock, false, nullptr}),
    [](const ::testing::TestParamInfo<HoldCase>& param) { return std::string(param.param.label); });

#endif

}  // namespace
}  // namespace zestrel::test
