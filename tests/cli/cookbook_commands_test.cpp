// The cookbook commands on the command line: version and upgrade judge a file
// as Browse does and say what happens on standard error, several cookbooks are
// upgraded in turn, restore puts the newest backup back keeping what stood
// there, and the program's own conventions (version text, unknown names, help,
// a failed write to standard output).
#include <fstream>

#include <gtest/gtest.h>

#include "platform/folder_lock.h"
#include "support/fixtures.h"
#include "support/process.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;

class CookbookCommands : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = makeTempDir("cookbook-commands");
        program_ = dir_ / "program";
    }
    void TearDown() override { checkAndRemoveTempDir(dir_, {"tempdb.mdb"}); }

    fs::path sample(const std::string& name, const std::string& layout = "1.0") {
        const auto path = dir_ / name;
        const auto made = zestrel({"sample", "--layout", layout, "--recipes", "3", "--ingredients-per-recipe", "2", path.string()});
        EXPECT_EQ(made.exitCode, 0) << made.err;
        return path;
    }
    fs::path noise(const std::string& name) {
        std::ofstream(dir_ / name, std::ios::binary) << std::string(4096, 'Z');
        return dir_ / name;
    }
    ProcessResult upgrade(std::vector<std::string> args) {
        args.insert(args.begin(), {"upgrade", "--program-folder", program_.string()});
        return zestrel(args);
    }
    ProcessResult restore(std::vector<std::string> args) {
        args.insert(args.begin(), {"restore", "--program-folder", program_.string()});
        return zestrel(args);
    }
    fs::path dir_;
    fs::path program_;
};

TEST_F(CookbookCommands, VersionRefusesAFileThatIsNoOldCookbookAndSaysWhy) {
    const auto random = noise("noise.rcp");
    const auto result = zestrel({"version", random.string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_NE(result.err.find("\"" + random.string() + "\" is not a cookbook that can be upgraded: 3343 - "), std::string::npos)
        << result.err;
    const auto offered = zestrel({"version", sample("family.rcp").string()});
    EXPECT_EQ(offered.exitCode, 0);
    EXPECT_EQ(offered.out, (dir_ / "family.rcp").string() + ": version 1.0, upgrade offered\n");
    EXPECT_EQ(offered.err, "") << "the window's instructions are not printed";
}

TEST_F(CookbookCommands, SeveralCookbooksAreUpgradedInTurnAndAFailureDoesNotStopTheRest) {
    const auto first = sample("first.rcp");
    const auto current = sample("current.rcp", "1.1");
    ASSERT_EQ(upgrade({current.string()}).exitCode, 0);
    const auto broken = noise("broken.rcp");
    const auto last = sample("last.rcp", "1.1");
    const auto result = upgrade({first.string(), current.string(), broken.string(), last.string()});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_EQ(result.out, "");
    const std::string& said = result.err;
    const auto at = [&](const std::string& text) {
        const auto found = said.find(text);
        EXPECT_NE(found, std::string::npos) << text << "\n" << said;
        return found;
    };
    const auto a = at(first.string() + ": version 1.0, upgrading\xE2\x80\xA6\n");
    const auto b = at(current.string() + ": already at version 1.3; nothing to do\n");
    const auto c = at(broken.string() + ": [Zestrel Cookbook Upgrade] \"" + broken.string() +
                      "\" is not a cookbook that can be upgraded: 3343 - ");
    const auto d = at(last.string() + ": version 1.1, upgrading\xE2\x80\xA6\n");
    const auto e = at("2 upgraded, 1 already at 1.3, 1 failed\n");
    EXPECT_TRUE(a < b && b < c && c < d && d < e);
    EXPECT_EQ(said.find("lick"), std::string::npos) << "no window instructions: " << said;
    EXPECT_EQ(said.find("Create temporary file..."), std::string::npos) << "status lines only when asked: " << said;
    const auto verbose = upgrade({"--verbose", "--dry-run", sample("fresh.rcp").string()});
    EXPECT_NE(verbose.err.find("Create temporary file...\n"), std::string::npos) << verbose.err;
    EXPECT_TRUE(fs::exists(program_ / "Backup" / "first_backup.rcp"));
    EXPECT_TRUE(fs::exists(program_ / "Backup" / "last_backup.rcp"));
    EXPECT_FALSE(fs::exists(program_ / "Backup" / "current_backup_2.rcp"));
    const auto again = upgrade({first.string(), current.string(), last.string()});
    EXPECT_EQ(again.exitCode, 0) << "every cookbook is current: " << again.err;
}

TEST_F(CookbookCommands, QuietPrintsOnlyFailures) {
    const auto good = sample("good.rcp");
    const auto quiet = upgrade({"--quiet", good.string()});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.out + quiet.err, "");
    const auto failing = upgrade({"--quiet", good.string(), noise("bad.rcp").string()});
    EXPECT_EQ(failing.exitCode, 1);
    EXPECT_EQ(failing.out, "");
    EXPECT_EQ(splitLines(failing.err).size(), 1u) << failing.err;
    EXPECT_NE(failing.err.find("is not a cookbook that can be upgraded"), std::string::npos) << failing.err;
}

TEST_F(CookbookCommands, ANameIsTakenAsGivenWhenThatFileExists) {
    const auto plain = sample("plain.mdb");
    const auto result = upgrade({plain.string()});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_FALSE(fs::exists(dir_ / "plain.mdb.rcp"));
    EXPECT_TRUE(fs::exists(program_ / "Backup" / "plain_backup.rcp"));
    const auto missing = upgrade({(dir_ / "nothing.mdb").string()});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, "3024 - Could not find file '" + (dir_ / "nothing.mdb").string() + "' (nor '" +
                               (dir_ / "nothing.mdb.rcp").string() + "').\n");
    sample("family.rcp");
    const auto withoutExtension = zestrel({"version", (dir_ / "family").string()});
    EXPECT_EQ(withoutExtension.out, (dir_ / "family.rcp").string() + ": version 1.0, upgrade offered\n");
}

TEST_F(CookbookCommands, RestorePutsACopyOfTheNewestBackupBackAndKeepsWhatStoodThere) {
    const auto path = sample("family.rcp");
    const std::string original = fileBytes(path);
    ASSERT_EQ(upgrade({path.string()}).exitCode, 0);
    const std::string upgraded = fileBytes(path);
    const fs::path backup = program_ / "Backup" / "family_backup.rcp";
    const auto listed = restore({"--list", path.string()});
    EXPECT_EQ(listed.exitCode, 0);
    const auto lines = splitLines(listed.out);
    ASSERT_EQ(lines.size(), 1u) << listed.out;
    EXPECT_EQ(lines[0].substr(19), "\t" + backup.string() + "\tof " + fs::canonical(path).string()) << lines[0];

    const auto restored = restore({path.string()});
    EXPECT_EQ(restored.exitCode, 0) << restored.err;
    EXPECT_EQ(restored.out, "");
    EXPECT_EQ(fileBytes(path), original);
    EXPECT_EQ(fileBytes(program_ / "Backup" / "family_upgraded.rcp"), upgraded);
    EXPECT_EQ(fileBytes(backup), original) << "the backup stays, whole";
    EXPECT_NE(restored.err.find("family_upgraded.rcp"), std::string::npos) << restored.err;

    // Again: the newest backup is the second upgrade's; the kept name is numbered, nothing is overwritten.
    ASSERT_EQ(upgrade({path.string()}).exitCode, 0);
    const std::string upgradedAgain = fileBytes(path);  // its catalog holds the time of this upgrade
    ASSERT_EQ(restore({path.string()}).exitCode, 0);
    EXPECT_EQ(fileBytes(path), original);
    EXPECT_EQ(fileBytes(program_ / "Backup" / "family_upgraded.rcp"), upgraded);
    EXPECT_EQ(fileBytes(program_ / "Backup" / "family_upgraded_2.rcp"), upgradedAgain);
    EXPECT_TRUE(fs::exists(program_ / "Backup" / "family_backup_2.rcp"));
    EXPECT_EQ(zestrel({"check", path.string()}).exitCode, 0);
    const auto again = restore({path.string()});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_TRUE(again.err.find("already holds the backup") != std::string::npos) << again.err;
    EXPECT_FALSE(fs::exists(program_ / "Backup" / "family_upgraded_3.rcp")) << "nothing to keep when nothing changes";

    const auto none = restore({sample("other.rcp").string()});
    EXPECT_EQ(none.exitCode, 1);
    EXPECT_NE(none.err.find("no backup of " + (dir_ / "other.rcp").string()), std::string::npos) << none.err;
}

// Backups made by an earlier version carry no record of their cookbook: they are listed as such,
// and put back only when named.
TEST_F(CookbookCommands, ABackupWithoutARecordIsRestoredOnlyWhenNamed) {
    const auto older = sample("older.rcp");
    const auto newer = sample("newer.rcp", "1.1");
    const auto path = sample("family.rcp");
    fs::create_directories(program_ / "Backup");
    fs::copy_file(older, program_ / "Backup" / "family_backup_2.rcp");
    fs::copy_file(newer, program_ / "Backup" / "family_backup_10.rcp");
    fs::copy_file(older, program_ / "Backup" / "family_backup_011.rcp");  // no name the upgrade writes
    fs::copy_file(older, program_ / "Backup" / "familyx_backup_12.rcp");  // another cookbook's
    const std::string before = fileBytes(path);
    const auto listed = splitLines(restore({"--list", path.string()}).out);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_NE(listed[1].find("family_backup_10.rcp\tof a cookbook of that name (no record"), std::string::npos) << listed[1];
    const auto refused = restore({path.string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("53 - "), std::string::npos) << refused.err;
    EXPECT_NE(refused.err.find("family_backup_10.rcp; restore one by naming it with --from"), std::string::npos) << refused.err;
    EXPECT_EQ(fileBytes(path), before);
    {
        auto lock = platform::FolderLock::tryAcquire(program_);
        ASSERT_TRUE(lock);
        const auto held = restore({"--from", (program_ / "Backup" / "family_backup_10.rcp").string(), path.string()});
        EXPECT_EQ(held.exitCode, 1);
        EXPECT_NE(held.err.find("3045 - "), std::string::npos) << held.err;
        EXPECT_EQ(fileBytes(path), before);
    }
    const auto named = restore({"--from", (program_ / "Backup" / "family_backup_10.rcp").string(), path.string()});
    ASSERT_EQ(named.exitCode, 0) << named.err;
    EXPECT_EQ(fileBytes(path), fileBytes(newer));
    EXPECT_EQ(fileBytes(program_ / "Backup" / "family_upgraded.rcp"), before);
    EXPECT_TRUE(fs::exists(program_ / "Backup" / "family_backup_10.rcp"));

    fs::remove(path);  // nothing at the cookbook's path: a copy of the backup goes there
    const auto intoEmpty = restore({"--from", (program_ / "Backup" / "family_backup_2.rcp").string(), path.string()});
    EXPECT_EQ(intoEmpty.exitCode, 0) << intoEmpty.err;
    EXPECT_EQ(fileBytes(path), fileBytes(older));
    EXPECT_TRUE(fs::exists(program_ / "Backup" / "family_backup_2.rcp"));
    EXPECT_FALSE(fs::exists(program_ / "Backup" / "family_upgraded_2.rcp"));
}

#ifndef _WIN32

// At a terminal the upgrade shows its progress as one line on standard error that rewrites itself
// in place (the percent and the rows), and clears it before the next line: the screen ends as the
// output to a pipe reads, which holds no progress at all.
TEST_F(CookbookCommands, ATerminalShowsOneProgressLineThatLeavesNothingBehind) {
    const auto cookbookIn = [&](const std::string& folder) {
        fs::create_directories(dir_ / folder);
        const auto path = dir_ / folder / "family.rcp";
        const auto made = zestrel({"sample", "--layout", "1.1", "--recipes", "300", "--ingredients-per-recipe", "5",
                                   path.string()});
        EXPECT_EQ(made.exitCode, 0) << made.err;
        return path;
    };
    const auto seenPath = cookbookIn("seen");
    const auto pipedPath = cookbookIn("piped");
    const auto seen = runOnTerminal({zestrelProgram().string(), "upgrade", "--program-folder",
                                     (dir_ / "seen" / "program").string(), seenPath.string()});
    const auto piped = zestrel({"upgrade", "--program-folder", (dir_ / "piped" / "program").string(), pipedPath.string()});
    ASSERT_EQ(seen.exitCode, 0) << seen.out;
    ASSERT_EQ(piped.exitCode, 0) << piped.err;

    // 300 recipes and 1,500 ingredient lines; each drawing starts at the line's start.
    const auto drawn = seen.out.find(" of 1,800 rows)");
    ASSERT_NE(drawn, std::string::npos) << seen.out;
    const auto lineStart = seen.out.rfind('\r', drawn);
    ASSERT_NE(lineStart, std::string::npos);
    EXPECT_NE(seen.out.find("family.rcp: ", lineStart), std::string::npos) << seen.out;
    EXPECT_NE(seen.out.substr(lineStart, drawn - lineStart).find("% ("), std::string::npos) << seen.out;
    EXPECT_EQ(piped.err.find('\r'), std::string::npos) << "no progress line into a pipe: " << piped.err;
    EXPECT_EQ(piped.err.find(" rows)"), std::string::npos) << piped.err;

    std::vector<std::string> screen = terminalScreen(seen.out);
    const std::string seenFolder = (dir_ / "seen").string();
    for (auto& line : screen)
        for (auto at = line.find(seenFolder); at != std::string::npos; at = line.find(seenFolder, at))
            line.replace(at, seenFolder.size(), (dir_ / "piped").string());
    EXPECT_EQ(screen, terminalScreen(piped.err)) << seen.out;
}

// Several cookbooks at a terminal: each one's progress line is gone before its next line, and the
// summary stands alone on the last line.
TEST_F(CookbookCommands, TheSummaryReadsRightAfterTheProgressLines) {
    const auto first = sample("first.rcp");
    const auto current = sample("current.rcp", "1.1");
    ASSERT_EQ(upgrade({current.string()}).exitCode, 0);
    const auto broken = noise("broken.rcp");
    const auto last = sample("last.rcp", "1.1");
    const auto run = runOnTerminal({zestrelProgram().string(), "upgrade", "--program-folder", program_.string(),
                                    first.string(), current.string(), broken.string(), last.string()});
    EXPECT_EQ(run.exitCode, 1) << run.out;
    EXPECT_NE(run.out.find("\r" + first.string() + ": 0% (1 of 9 rows)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\r" + last.string() + ": 0% (1 of 9 rows)"), std::string::npos) << run.out;
    const auto screen = terminalScreen(run.out);
    for (const auto& line : screen) EXPECT_EQ(line.find(" rows)"), std::string::npos) << "left on the screen: " << line;
    // Each cookbook's lines in turn, each starting a line of its own; the summary last.
    std::vector<std::string> starts;
    for (const auto& line : screen)
        if (line.rfind(dir_.string(), 0) == 0) {
            const auto box = line.find(": [");  // a box: its subject is enough
            starts.push_back(box == std::string::npos ? line : line.substr(0, box + 1));
        }
    const std::vector<std::string> expected{
        first.string() + ": version 1.0, upgrading\xE2\x80\xA6", first.string() + ":",
        current.string() + ": already at version 1.3; nothing to do", broken.string() + ":",
        last.string() + ": version 1.1, upgrading\xE2\x80\xA6", last.string() + ":"};
    EXPECT_EQ(starts, expected) << run.out;
    ASSERT_FALSE(screen.empty());
    EXPECT_EQ(screen.back(), "2 upgraded, 1 already at 1.3, 1 failed");
}

TEST_F(CookbookCommands, QuietShowsNoProgressAtATerminal) {
    const auto run = runOnTerminal({zestrelProgram().string(), "upgrade", "--quiet", "--program-folder",
                                    program_.string(), sample("family.rcp").string()});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "");
}

#endif

TEST(ZestrelConventions, VersionUnknownNamesAndHelp) {
    const auto version = zestrel({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "zestrel 1.3.142\n");
    const struct {
        std::vector<std::string> args;
        std::string says;
    } wrong[] = {
        {{"frobnicate"}, "zestrel: unknown command 'frobnicate'\n"},
        {{"--frob", "tables", "x.mdb"}, "zestrel: unknown option '--frob'\n"},
        {{"upgrade", "--frob", "x.rcp"}, "zestrel: unknown option '--frob' for 'upgrade'\n"},
        {{"tables", "x.mdb", "y.mdb"}, "zestrel: unexpected argument 'y.mdb' for 'tables'\n"},
        {{"help", "frobnicate"}, "zestrel: unknown command 'frobnicate'\n"},
    };
    for (const auto& w : wrong) {
        const auto result = zestrel(w.args);
        EXPECT_EQ(result.exitCode, 2) << w.args[0];
        EXPECT_EQ(result.err.rfind(w.says, 0), 0u) << result.err;
    }
    for (const char* command : {"upgrade", "restore", "version"}) {
        const auto help = zestrel({"help", command});
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_EQ(help.out, zestrel({command, "--help"}).out) << command;
    }
    EXPECT_NE(zestrel({"help", "upgrade"}).out.find("--quiet"), std::string::npos);
    // The program alone, and "help" alone, list the commands.
    const auto commands = zestrel({"help"});
    EXPECT_EQ(commands.exitCode, 0);
    EXPECT_EQ(commands.out, zestrel({}).out);
    EXPECT_NE(commands.out.find("Usage: zestrel [OPTIONS] SUBCOMMAND"), std::string::npos) << commands.out;
    for (const char* command : {"upgrade", "restore", "version", "check"})
        EXPECT_NE(commands.out.find(std::string("\n  ") + command + " "), std::string::npos) << command << commands.out;
    EXPECT_NE(zestrel({"help", "restore"}).out.find("--list"), std::string::npos);
}

#ifndef _WIN32
TEST(ZestrelConventions, AFailedWriteToStandardOutputIsAFailureAndAClosedPipeIsQuiet) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "/dev/full is needed";
    const std::string program = zestrelProgram().string();
    const auto full = runProcess({"sh", "-c", "'" + program + "' --version > /dev/full"});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_NE(full.err.find("3043 - Could not write to standard output"), std::string::npos) << full.err;
    const auto help = runProcess({"sh", "-c", "'" + program + "' help upgrade > /dev/full"});
    EXPECT_EQ(help.exitCode, 1);
    const auto closed = runProcess({"sh", "-c", "'" + program + "' --help | true"});
    EXPECT_EQ(closed.err, "");
}
#endif

}  // namespace
}  // namespace zestrel::test
