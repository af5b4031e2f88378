// Nothing lost when the program dies: `zestrel upgrade` is killed (SIGKILL)
// at 50 points spread over a whole run, and after each the original cookbook
// is unchanged at its path or in the Backup folder, and whatever lies at the
// cookbook's path is the original or a complete, readable upgraded cookbook.
#include <fstream>

#include "platform/fault_injection.h"
#include "platform/file_system.h"
#include "store/jet/database_file.h"
#include "store/jet/failure.h"
#include "support/fixtures.h"
#include "support/process.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;

constexpr int kKillPoints = 50;
constexpr int kRecipes = 30;
constexpr int kIngredientsPerRecipe = 4;

using CrashTest = UpgradeTest;

TEST_F(CrashTest, KillingTheUpgradeAnywhereLosesNothing) {
    cli::SampleOptions options;
    options.layout = cli::OldLayout::V10;
    options.recipes = kRecipes;
    options.ingredientsPerRecipe = kIngredientsPerRecipe;
    const fs::path original = dir_ / "template.rcp";
    cli::writeSampleCookbook(original, options);
    const std::string originalBytes = bytesOf(original);

    // How many file operations a whole run takes, counted in this process.
    fs::create_directories(dir_ / "count");
    test::copyFixtureFile(original, dir_ / "count" / "family.rcp");
    platform::setProgramFolder(dir_ / "count");
    platform::faults::arm(0);
    run(dir_ / "count" / "family.rcp");
    const long operations = platform::faults::operationCount();
    ASSERT_GT(operations, kKillPoints);

    int killed = 0;
    for (int point = 1; point <= kKillPoints; ++point) {
        const long k = std::max(1L, operations * point / (kKillPoints + 1));
        SCOPED_TRACE("killed at file operation " + std::to_string(k) + " of about " + std::to_string(operations));
        const fs::path folder = dir_ / ("kill" + std::to_string(point));
        fs::create_directories(folder / "program");
        const fs::path cookbook = folder / "family.rcp";
        test::copyFixtureFile(original, cookbook);
        const auto result = runProcess({zestrelProgram().string(), "upgrade", "--program-folder", (folder / "program").string(),
                                        cookbook.string()},
                                       {"ZESTREL_KILL_AT_OPERATION=" + std::to_string(k)});
        if (result.exitCode == -1) ++killed;

        bool originalKept = fs::exists(cookbook) && bytesOf(cookbook) == originalBytes;
        if (fs::is_directory(folder / "program" / "Backup"))
            for (const auto& entry : fs::directory_iterator(folder / "program" / "Backup"))
                originalKept = originalKept || bytesOf(entry.path()) == originalBytes;
        EXPECT_TRUE(originalKept) << "the original cookbook is gone";
        if (fs::exists(cookbook)) {
            EXPECT_TRUE(bytesOf(cookbook) == originalBytes || isCompleteUpgrade(cookbook, kRecipes, kRecipes * kIngredientsPerRecipe))
                << "the cookbook's path holds neither the original nor a complete upgrade";
        }
        if (HasFailure()) break;
    }
    std::cout << kKillPoints << " kill points over about " << operations << " file operations; " << killed
              << " runs were killed before they ended\n";
    EXPECT_GE(killed, kKillPoints * 9 / 10);
}

}  // namespace
}  // namespace zestrel::test
