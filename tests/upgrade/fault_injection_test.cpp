// Nothing lost when a file operation fails: for every k, the k-th file
// operation of a whole upgrade (open, read, write, fsync, close, rename, link,
// delete, create folder, copy, folder sync, lock) fails, and afterwards the
// original cookbook is unchanged at its path or at the backup path the message
// names, a failure is reported whenever the upgrade did not complete (and then
// the cookbook is at its path as it was, and no backup of it is left), and
// whatever lies at the cookbook's path is the original or a complete upgraded
// cookbook. Two set-ups: the program's folder beside the cookbook, and on
// another file system than the cookbook.
#include <fstream>
#include <optional>

#include "platform/fault_injection.h"
#include "platform/file_system.h"
#include "store/jet/database_file.h"
#include "store/jet/failure.h"
#include "text/utf8.h"
#include "support/fixtures.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr std::size_t kRecipes = 3;
constexpr std::size_t kIngredients = 5;

struct Outcome {
    std::string messages;  // every box, for the failure report
    bool succeeded = false;
    std::u16string backup;  // named by the success message
    bool failureShown = false;
};

enum class Place { SameFileSystem, OtherFileSystem };

class FaultInjection : public UpgradeTest, public ::testing::WithParamInterface<Place> {
protected:
    void SetUp() override {
        UpgradeTest::SetUp();
        if (GetParam() == Place::OtherFileSystem) {
            programs_ = makeTempDirOnOtherFileSystem("faults");
            if (!programs_) GTEST_SKIP() << "no tmpfs at /dev/shm on another file system than " << dir_;
        }
        cli::SampleOptions options;
        options.layout = cli::OldLayout::V11;
        options.recipes = kRecipes;
        options.ingredientsPerRecipe = 1;
        options.ingredientRows = std::vector<json>{};
        for (std::size_t i = 0; i < kIngredients; ++i)
            options.ingredientRows->push_back({{"Amt", "1 1/2"}, {"rID", std::to_string(1 + i % kRecipes)}});
        original_ = dir_ / "template.rcp";
        cli::writeSampleCookbook(original_, options);
        originalBytes_ = test::fileBytes(original_);
    }
    void TearDown() override {
        if (programs_) checkAndRemoveTempDir(*programs_, {"tempdb.mdb"});
        UpgradeTest::TearDown();
    }

    // One whole Browse-and-Upgrade in a fresh folder, with operation `failAt` failing (0: none).
    Outcome runWithFault(long failAt, fs::path& cookbookPath, long* operations = nullptr) {
        const fs::path folder = dir_ / ("run" + std::to_string(failAt));
        const fs::path program = (programs_ ? *programs_ / folder.filename() : folder) / "program";
        fs::create_directories(folder);
        fs::create_directories(program);
        platform::setProgramFolder(program);
        lastBackupFolder_ = program / "Backup";
        cookbookPath = folder / "family.rcp";
        test::copyFixtureFile(original_, cookbookPath);
        RecordingView view;
        platform::faults::arm(failAt);
        {
            frmMain form(view);
            view.dialogAnswers.push_back(cookbookPath.u16string());
            form.cmdOpen_Click();
            form.cmdUp_Click();
        }
        if (operations) *operations = platform::faults::operationCount();
        lastFailed_ = platform::faults::failedOperation();
        platform::faults::disarm();
        Outcome outcome;
        const std::u16string prefix = u"Upgrade successful! A backup copy of the original cookbook has been saved as \"";
        for (const auto& m : view.messages()) {
            outcome.messages += "[" + text::toUtf8(m.title) + "] " + text::toUtf8(m.text) + "\n";
            // A failure, or the warning of Browse that the cookbook cannot be read, with the failure.
            if (m.number == static_cast<int>(platform::MsgIcon::Critical) ||
                m.text.find(u" is not a cookbook that can be upgraded: ") != std::u16string::npos ||
                m.text.find(u"\" cannot be read: ") != std::u16string::npos)
                outcome.failureShown = true;
            if (m.text.rfind(prefix, 0) == 0) {
                outcome.succeeded = true;
                outcome.backup = m.text.substr(prefix.size(), m.text.find(u'"', prefix.size()) - prefix.size());
            }
        }
        return outcome;
    }

    std::optional<fs::path> programs_;  // the folder on the other file system, when used
    fs::path original_;
    std::string originalBytes_;
    std::string lastFailed_;
    fs::path lastBackupFolder_;
};

TEST_P(FaultInjection, NoFailingFileOperationLosesTheCookbook) {
    fs::path path;
    long operations = 0;
    const Outcome clean = runWithFault(0, path, &operations);
    ASSERT_TRUE(clean.succeeded);
    ASSERT_GT(operations, 50);
    int failures = 0;
    for (long k = 1; k <= operations; ++k) {
        SCOPED_TRACE("file operation " + std::to_string(k) + " of " + std::to_string(operations) + " fails");
        const Outcome outcome = runWithFault(k, path);
        SCOPED_TRACE("the failing operation: " + lastFailed_ + "\nmessages:\n" + outcome.messages);
        const bool originalAtPath = fs::exists(path) && test::fileBytes(path) == originalBytes_;
        if (outcome.succeeded) {
            EXPECT_EQ(test::fileBytes(fs::path(outcome.backup)), originalBytes_);
            EXPECT_TRUE(isCompleteUpgrade(path, kRecipes, kIngredients));
        } else {
            EXPECT_TRUE(outcome.failureShown) << "the upgrade did not complete and no failure was shown";
            EXPECT_TRUE(originalAtPath) << "the cookbook is not at its path as it was";
            if (fs::is_directory(lastBackupFolder_)) {
                EXPECT_TRUE(fs::is_empty(lastBackupFolder_)) << "a backup of an upgrade that did not happen is left";
            }
            ++failures;
        }
        if (HasFailure()) break;
    }
    std::cout << (GetParam() == Place::SameFileSystem ? "one file system: " : "program folder on another file system: ")
              << operations << " file operations, each failed once: " << failures << " runs reported a failure, "
              << operations - failures << " completed\n";
}

// The new database is checked before any file is moved: one that reaches the disk damaged stops
// the upgrade with the cookbook as it was and no backup left.
TEST_P(FaultInjection, ADamagedNewDatabaseStopsTheUpgradeBeforeAnyFileMoves) {
    fs::path path;
    platform::faults::damageWritesTo("tempdb.mdb");
    const Outcome outcome = runWithFault(0, path);
    platform::faults::damageWritesTo("");
    SCOPED_TRACE(outcome.messages);
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_TRUE(outcome.failureShown);
    EXPECT_NE(outcome.messages.find("3049 - The new database failed its structural check"), std::string::npos);
    EXPECT_NE(outcome.messages.find("The cookbook was not changed."), std::string::npos);
    EXPECT_EQ(test::fileBytes(path), originalBytes_);
    if (fs::is_directory(lastBackupFolder_)) {
        EXPECT_TRUE(fs::is_empty(lastBackupFolder_));
    }
    const Outcome again = runWithFault(1000000, path);  // a fresh copy upgrades once the disk is sound
    EXPECT_TRUE(again.succeeded) << again.messages;
}

INSTANTIATE_TEST_SUITE_P(SetUps, FaultInjection, ::testing::Values(Place::SameFileSystem, Place::OtherFileSystem),
                         [](const auto& p) {
                             return std::string(p.param == Place::SameFileSystem ? "OneFileSystem"
                                                                                 : "ProgramFolderOnAnotherFileSystem");
                         });

}  // namespace
}  // namespace zestrel::test
