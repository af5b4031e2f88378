// Nothing lost when the program dies: `zestrel upgrade` is killed (SIGKILL)
// at every one of its file operations in turn, in two set-ups: the program's
// folder beside the cookbook, and the program's folder on another file system
// than the cookbook. After each kill:
// - the cookbook's path leads to the original, byte for byte, or to the
//   complete upgraded cookbook, never to nothing or to a partial file;
// - the original is still at the path or complete in the Backup folder, and
//   every file in Backup that does not carry a temporary name is the original;
// - a second run in the same folders is not blocked by the killed one, ends
//   with the cookbook upgraded and the original in Backup, and leaves no
//   temporary file behind.
#include <fstream>
#include <optional>

#include "platform/fault_injection.h"
#include "platform/file_replace.h"
#include "platform/file_system.h"
#include "support/fixtures.h"
#include "support/process.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;

constexpr int kRecipes = 30;
constexpr int kIngredientsPerRecipe = 4;
constexpr int kMaxOperations = 2000;  // a run that never ends inside this many is a fault in itself

enum class Place { SameFileSystem, OtherFileSystem };

bool endsWith(const fs::path& file, const std::string& suffix) {
    const std::string name = file.filename().string();
    return name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The list of changed values the upgrade writes beside a backup (and its table for spreadsheets),
// and the record of its cookbook.
bool isChangeList(const fs::path& file) { return endsWith(file, "_changes.txt") || endsWith(file, "_changes.tsv"); }
bool isOriginRecord(const fs::path& file) { return endsWith(file, "_origin.txt"); }

class CrashTest : public UpgradeTest, public ::testing::WithParamInterface<Place> {
protected:
    void SetUp() override {
        UpgradeTest::SetUp();
        if (GetParam() == Place::OtherFileSystem) {
            programs_ = makeTempDirOnOtherFileSystem("crash");
            if (!programs_) GTEST_SKIP() << "no tmpfs at /dev/shm on another file system than " << dir_;
        }
        cli::SampleOptions options;
        options.layout = cli::OldLayout::V10;
        options.recipes = kRecipes;
        options.ingredientsPerRecipe = kIngredientsPerRecipe;
        original_ = dir_ / "template.rcp";
        cli::writeSampleCookbook(original_, options);
        originalBytes_ = bytesOf(original_);
    }
    void TearDown() override {
        if (programs_) checkAndRemoveTempDir(*programs_, {"tempdb.mdb"});
        UpgradeTest::TearDown();
    }

    struct Run {
        fs::path cookbook;
        fs::path program;
    };
    // A fresh cookbook, and its program folder beside it or on the other file system.
    Run prepare(const std::string& name) {
        const fs::path cookbooks = dir_ / name / "cookbooks";
        fs::create_directories(cookbooks);
        Run run{cookbooks / "family.rcp", (programs_ ? *programs_ : dir_) / name / "program"};
        fs::create_directories(run.program);
        test::copyFixtureFile(original_, run.cookbook);
        return run;
    }
    ProcessResult upgrade(const Run& run, long killAt) {
        std::vector<std::string> environment;
        if (killAt > 0) environment.push_back("ZESTREL_KILL_AT_OPERATION=" + std::to_string(killAt));
        return runProcess({zestrelProgram().string(), "upgrade", "--program-folder", run.program.string(),
                           run.cookbook.string()},
                          environment);
    }
    bool completeUpgrade(const fs::path& path) {
        return isCompleteUpgrade(path, kRecipes, kRecipes * kIngredientsPerRecipe);
    }
    std::vector<fs::path> filesIn(const fs::path& folder) {
        std::vector<fs::path> files;
        if (fs::is_directory(folder))
            for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
        return files;
    }

    void expectSoundAfterKill(const Run& run) {
        const bool atPath = fs::exists(run.cookbook);
        ASSERT_TRUE(atPath) << "nothing at the cookbook's path";
        const bool originalAtPath = bytesOf(run.cookbook) == originalBytes_;
        EXPECT_TRUE(originalAtPath || completeUpgrade(run.cookbook))
            << "the cookbook's path holds neither the original nor a complete upgrade";
        bool originalInBackup = false;
        for (const auto& file : filesIn(run.program / "Backup")) {
            if (platform::isTemporaryPath(file) || isChangeList(file) || isOriginRecord(file)) continue;
            EXPECT_EQ(bytesOf(file), originalBytes_) << file << " is a backup name with something else than the original";
            originalInBackup = true;
        }
        EXPECT_TRUE(originalAtPath || originalInBackup) << "the original cookbook is gone";
        for (const auto& file : filesIn(run.cookbook.parent_path()))
            EXPECT_TRUE(file == run.cookbook || platform::isTemporaryPath(file))
                << file << " is left beside the cookbook under a name that is not a temporary one";
    }

    // The run after a killed one: it is not blocked, and ends with the cookbook upgraded (by it or
    // by the killed run), the original in Backup, and no temporary file anywhere.
    void expectCleanAfterRecovery(const Run& run, const ProcessResult& result) {
        const bool upgradedBefore = result.err.find("already at version 1.3; nothing to do") != std::string::npos;
        EXPECT_TRUE(result.exitCode == 0 || upgradedBefore) << result.out << result.err;
        EXPECT_TRUE(completeUpgrade(run.cookbook));
        int backups = 0;
        for (const auto& file : filesIn(run.program / "Backup")) {
            EXPECT_FALSE(platform::isTemporaryPath(file)) << file << " was left by the killed run";
            backups += bytesOf(file) == originalBytes_ ? 1 : 0;
            if (isOriginRecord(file)) {
                const std::string name = file.filename().string();
                EXPECT_TRUE(fs::exists(file.parent_path() / (name.substr(0, name.size() - 11) + ".rcp")))
                    << file << " is the record of a backup that is not there";
            } else if (!isChangeList(file)) {
                EXPECT_TRUE(fs::exists(file.parent_path() / (file.stem().string() + "_origin.txt")))
                    << file << " carries no record of its cookbook";
            }
        }
        // Whether this run upgraded or found the killed one had: nothing of a run is left.
        EXPECT_FALSE(fs::exists(run.program / ".zestrel-run")) << "the killed run's record was left";
        EXPECT_FALSE(fs::exists(run.program / "tempdb.mdb")) << "the killed run's temporary database was left";
        EXPECT_EQ(backups, 1) << "no backup of the original, or a second one: a backup of an upgrade that never happened";
        for (const auto& file : filesIn(run.cookbook.parent_path()))
            EXPECT_FALSE(platform::isTemporaryPath(file)) << file << " was left by the killed run";
    }

    std::optional<fs::path> programs_;  // the folder on the other file system, when used
    fs::path original_;
    std::string originalBytes_;
};

TEST_P(CrashTest, KillingTheUpgradeAtEveryFileOperationLosesNothing) {
    int killed = 0;
    long point = 1;
    for (; point <= kMaxOperations; ++point) {
        SCOPED_TRACE("killed at file operation " + std::to_string(point));
        const Run run = prepare("kill" + std::to_string(point));
        const ProcessResult result = upgrade(run, point);
        if (result.exitCode != -1) {
            // The run ended before it reached this operation: every earlier one was a kill point.
            EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
            EXPECT_TRUE(completeUpgrade(run.cookbook));
            break;
        }
        ++killed;
        expectSoundAfterKill(run);
        expectCleanAfterRecovery(run, upgrade(run, 0));
        if (HasFailure()) break;
    }
    EXPECT_LT(point, kMaxOperations) << "the run never ended";
    std::cout << (GetParam() == Place::SameFileSystem ? "one file system" : "program folder on another file system")
              << ": killed at each of " << killed << " file operations, each followed by a second run\n";
    // A sanity bound: the run reads pages in runs, so its operations are fewer than its pages,
    // but a run that stopped counting early would fall far below it.
    EXPECT_GT(killed, 60);
}

INSTANTIATE_TEST_SUITE_P(SetUps, CrashTest, ::testing::Values(Place::SameFileSystem, Place::OtherFileSystem),
                         [](const auto& p) {
                             return std::string(p.param == Place::SameFileSystem ? "OneFileSystem"
                                                                                 : "ProgramFolderOnAnotherFileSystem");
                         });

}  // namespace
}  // namespace zestrel::test
