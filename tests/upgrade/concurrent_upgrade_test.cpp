// Two upgrades of two cookbooks with one program folder at the same time (the
// window open while the command-line program runs, or the program started
// twice): each cookbook ends as its own complete upgrade, or untouched with a
// failure message that says another upgrade is running; never with another
// cookbook's rows, and never with a success message for a run that did not
// finish its own upgrade. Also: what a run that died left under a temporary
// name is removed by the next run and never taken for a backup.
#include <fstream>
#include <future>

#include "platform/file.h"
#include "platform/file_replace.h"
#include "platform/file_system.h"
#include "text/utf8.h"
#include "support/fixtures.h"
#include "support/process.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kBusy = "another upgrade is running";
constexpr const char* kSuccess = "Upgrade successful!";

// A cookbook and the numbers of rows that tell its upgrade from any other's.
struct Book {
    fs::path path;
    std::size_t recipes;
    std::size_t ingredients;
    std::string originalBytes;
};

class ConcurrentUpgrade : public UpgradeTest {
protected:
    Book book(const std::string& name, cli::OldLayout layout, int recipes, int ingredientsPerRecipe) {
        cli::SampleOptions options;
        options.layout = layout;
        options.recipes = recipes;
        options.ingredientsPerRecipe = ingredientsPerRecipe;
        options.seed = static_cast<unsigned>(recipes);
        const fs::path path = dir_ / name;
        fs::create_directories(path.parent_path());
        cli::writeSampleCookbook(path, options);
        return {path, static_cast<std::size_t>(recipes), static_cast<std::size_t>(recipes * ingredientsPerRecipe),
                bytesOf(path)};
    }
    ProcessResult commandLine(const Book& b) {
        return runProcess({zestrelProgram().string(), "upgrade", "--program-folder", program_.string(), b.path.string()});
    }
    // Its own complete upgrade with its original in Backup, or untouched.
    bool ownUpgrade(const Book& b) {
        if (!isCompleteUpgrade(b.path, b.recipes, b.ingredients)) return false;
        for (const auto& entry : fs::directory_iterator(program_ / "Backup"))
            if (bytesOf(entry.path()) == b.originalBytes) return true;
        return false;
    }
    bool untouched(const Book& b) { return bytesOf(b.path) == b.originalBytes; }
    // What one command-line run said agrees with what it did.
    void expectHonest(const Book& b, const ProcessResult& r) {
        const std::string said = r.out + r.err;
        if (r.exitCode == 0) {
            EXPECT_NE(said.find(kSuccess), std::string::npos) << said;
            EXPECT_TRUE(ownUpgrade(b)) << b.path << " was reported upgraded but does not hold its own upgrade";
        } else {
            EXPECT_EQ(r.exitCode, 1) << said;
            EXPECT_EQ(said.find(kSuccess), std::string::npos) << said;
            EXPECT_NE(said.find(kBusy), std::string::npos) << said;
            EXPECT_TRUE(untouched(b)) << b.path << " was changed by a run that failed";
        }
    }
};

TEST_F(ConcurrentUpgrade, TheCommandLineProgramStopsWhileTheWindowUpgradesInTheSameProgramFolder) {
    const Book mine = book("a/family.rcp", cli::OldLayout::V10, 20, 2);
    const Book other = book("b/family.rcp", cli::OldLayout::V11, 30, 3);
    std::optional<ProcessResult> during;
    std::optional<std::pair<std::uint64_t, std::uint64_t>> temporaryBefore, temporaryAfter;
    view_.onYield = [&] {
        if (during || view_.eventsOf(ViewEvent::Kind::Percent).size() < 5) return;
        temporaryBefore = platform::fileIdentity(program_ / "tempdb.mdb");
        during = commandLine(other);
        temporaryAfter = platform::fileIdentity(program_ / "tempdb.mdb");
    };
    run(mine.path);
    ASSERT_TRUE(during) << "the window's copy never yielded";
    expectHonest(other, *during);
    EXPECT_EQ(during->exitCode, 1) << "the command-line run went ahead inside the window's run";
    EXPECT_NE((during->out + during->err).find("3045 - "), std::string::npos) << during->err;
    ASSERT_TRUE(temporaryBefore);
    EXPECT_EQ(temporaryBefore, temporaryAfter) << "the window's temporary database was touched";
    const auto messages = view_.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(text::toUtf8(messages[0].text).rfind(kSuccess, 0), 0u) << text::toUtf8(messages[0].text);
    EXPECT_TRUE(ownUpgrade(mine));
    EXPECT_TRUE(untouched(other));
}

TEST_F(ConcurrentUpgrade, ASecondWindowStopsAtOnceAndTouchesNothing) {
    const Book mine = book("a/family.rcp", cli::OldLayout::V10, 10, 2);
    const Book other = book("b/family.rcp", cli::OldLayout::V10, 12, 1);
    RecordingView secondView;
    bool started = false;
    view_.onYield = [&] {
        if (started) return;
        started = true;
        frmMain second(secondView);
        second.Form_Load();
        secondView.dialogAnswers.push_back(other.path.u16string());
        second.cmdOpen_Click();
        second.cmdUp_Click();
    };
    run(mine.path);
    ASSERT_TRUE(started);
    const auto refused = secondView.messages();
    ASSERT_EQ(refused.size(), 1u);
    const std::string text = text::toUtf8(refused[0].text);
    EXPECT_EQ(text.rfind("3045 - ", 0), 0u) << text;
    EXPECT_NE(text.find(kBusy), std::string::npos) << text;
    EXPECT_EQ(refused[0].number, static_cast<int>(platform::MsgIcon::Critical));
    for (const auto& e : secondView.eventsOf(ViewEvent::Kind::ProgressVisible))
        EXPECT_EQ(e.number, 0) << "the refused run showed its progress bar";
    EXPECT_EQ(secondView.status, u"Selected cookbook version is 1.0, click Upgrade to start.");
    EXPECT_TRUE(secondView.exitEnabled);
    EXPECT_TRUE(untouched(other));
    EXPECT_TRUE(ownUpgrade(mine));
    EXPECT_EQ(text::toUtf8(view_.messages().at(0).text).rfind(kSuccess, 0), 0u);
}

TEST_F(ConcurrentUpgrade, TwoCommandLineRunsStartedTogetherEachUpgradeTheirOwnOrStop) {
    constexpr int kRounds = 4;
    int refused = 0;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const std::string folder = "round" + std::to_string(round);
        const Book first = book(folder + "/a/family.rcp", cli::OldLayout::V10, 150, 2);
        const Book second = book(folder + "/b/family.rcp", cli::OldLayout::V11, 170, 3);
        auto one = std::async(std::launch::async, [&] { return commandLine(first); });
        auto two = std::async(std::launch::async, [&] { return commandLine(second); });
        const ProcessResult a = one.get();
        const ProcessResult b = two.get();
        expectHonest(first, a);
        expectHonest(second, b);
        EXPECT_TRUE(a.exitCode == 0 || b.exitCode == 0) << "neither run upgraded its cookbook";
        refused += (a.exitCode != 0) + (b.exitCode != 0);
        if (HasFailure()) break;
    }
    std::cout << kRounds << " rounds of two runs started together: " << refused << " runs found the other running\n";
}

TEST_F(ConcurrentUpgrade, WhatADeadRunLeftUnderATemporaryNameIsRemovedAndNeverTakenForABackup) {
    const Book b = book("family.rcp", cli::OldLayout::V10, 3, 1);
    fs::create_directory(program_ / "Backup");
    const fs::path partialBackup = platform::temporaryPathFor(program_ / "Backup" / "family_backup.rcp");
    const fs::path partialCookbook = platform::temporaryPathFor(b.path);
    std::ofstream(partialBackup) << "half a backup";
    std::ofstream(partialCookbook) << "half a new cookbook";
    std::ofstream(program_ / "tempdb.mdb") << "half a temporary database";
    run(b.path);
    ASSERT_EQ(view_.messages().size(), 1u);
    const std::string message = text::toUtf8(view_.messages()[0].text);
    EXPECT_EQ(message.substr(0, message.find('\n')),
              std::string(kSuccess) + " A backup copy of the original cookbook has been saved as \"" +
                  (program_ / "Backup" / "family_backup.rcp").string() + "\"");
    EXPECT_EQ(bytesOf(program_ / "Backup" / "family_backup.rcp"), b.originalBytes);
    EXPECT_FALSE(fs::exists(partialBackup));
    EXPECT_FALSE(fs::exists(partialCookbook));
    EXPECT_TRUE(ownUpgrade(b));
}

}  // namespace
}  // namespace zestrel::test
