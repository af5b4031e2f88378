// Bad input through the command line (`zestrel upgrade`) and through frmMain
// with the recording view: each case gives a clear message and loses nothing.
#include <fstream>
#ifndef _WIN32
#include <unistd.h>
#endif

#include "platform/file_system.h"
#include "text/utf8.h"
#include "support/fixtures.h"
#include "support/process.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// As root (and under wine, which runs as the user who started it and ignores folder permissions)
// every folder can be written.
bool everyFolderWritable() {
#ifdef _WIN32
    return true;
#else
    return ::geteuid() == 0;
#endif
}

// The user the command line runs as in the cases that need another user than root.
constexpr unsigned kOtherUser = 65534;

// Gives a folder to the user the case runs as (when root runs the suite), who alone may write it;
// otherwise it stays the caller's, and everyone may read and pass through it.
void giveToRunner(const fs::path& folder) {
#ifndef _WIN32
    if (::geteuid() == 0 && ::chown(folder.c_str(), kOtherUser, kOtherUser) != 0) ADD_FAILURE() << "chown " << folder;
#endif
    fs::permissions(folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
}

struct Case {
    const char* name;
    // Prepares the case in `folder` (with its program folder `program`); returns the cookbook path.
    std::function<fs::path(UpgradeTest&, const fs::path& folder, const fs::path& program)> prepare;
    bool succeeds = false;        // an upgrade that must work (odd names, a link)
    const char* says = nullptr;   // a text the message must hold
    bool needsOtherUser = false;  // read-only folders: as root only another user sees them so
    const char* commandLineSays = nullptr;  // where the command line says something else; it then succeeds
};

std::vector<json> someRecipes() { return {json{{"Name", "Soup"}, {"rID", 1}, {"Mark", false}}}; }

fs::path copyFixture(const std::string& name, const fs::path& to) {
    test::copyFixtureFile(jetFixturesDir() / name, to);
    return to;
}

class BadInputMatrix : public UpgradeTest, public ::testing::WithParamInterface<Case> {
public:
    fs::path layout10(const fs::path& folder, const std::string& name = "family.rcp") {
        cli::SampleOptions options;
        options.layout = cli::OldLayout::V10;
        options.recipeRows = someRecipes();
        options.ingredientRows = std::vector<json>{{{"Amt", "1"}, {"rID", 1}}};
        cli::writeSampleCookbook(folder / name, options);
        return folder / name;
    }

protected:
    // Every regular file below the folder with its bytes, to tell that nothing changed.
    static std::map<fs::path, std::string> snapshot(const fs::path& folder) {
        std::map<fs::path, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file() && entry.path().filename() != "tempdb.mdb") files[entry.path()] = bytesOf(entry.path());
        return files;
    }

    void expectNothingLost(const std::map<fs::path, std::string>& before, const fs::path& program) {
        for (const auto& [path, bytes] : before) {
            if (fs::exists(path) && bytesOf(path) == bytes) continue;
            // A cookbook that was upgraded: its original must be in the Backup folder.
            bool backedUp = false;
            if (fs::is_directory(program / "Backup"))
                for (const auto& entry : fs::directory_iterator(program / "Backup"))
                    backedUp = backedUp || bytesOf(entry.path()) == bytes;
            EXPECT_TRUE(backedUp) << path << " is lost";
        }
    }
};

TEST_P(BadInputMatrix, ThroughTheCommandLine) {
    const Case& c = GetParam();
    const bool root = everyFolderWritable();
    if (c.needsOtherUser && root && !programExists("setpriv")) GTEST_SKIP() << "setpriv is needed to act as another user";
    const fs::path folder = dir_ / "cli";
    const fs::path program = folder / "program";
    fs::create_directories(program);
    const fs::path cookbook = c.prepare(*this, folder, program);
    const auto before = snapshot(folder);
    std::vector<std::string> argv{zestrelProgram().string(), "upgrade", "--program-folder", program.string(), cookbook.string()};
    if (c.needsOtherUser && root) {
        fs::permissions(dir_, fs::perms::all);  // the other user may pass through and read
        argv.insert(argv.begin(), {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"});
    }
    const auto result = runProcess(argv);
    const std::string said = result.out + result.err;
    if (c.commandLineSays) {
        EXPECT_EQ(result.exitCode, 0) << said;
        EXPECT_NE(said.find(c.commandLineSays), std::string::npos) << said;
    } else {
        EXPECT_EQ(result.exitCode, c.succeeds ? 0 : 1) << said;
        EXPECT_NE(said.find(c.succeeds ? "Upgrade successful!" : "] "), std::string::npos) << said;  // a box was shown
        if (c.says) {
            EXPECT_NE(said.find(c.says), std::string::npos) << said;
        }
    }
    expectNothingLost(before, program);
}

TEST_P(BadInputMatrix, ThroughTheWindowLogic) {
    const Case& c = GetParam();
    if (c.needsOtherUser && everyFolderWritable()) GTEST_SKIP() << "as root every folder can be written; the command-line case covers it";
    const fs::path folder = dir_ / "window";
    const fs::path program = folder / "program";
    fs::create_directories(program);
    const fs::path cookbook = c.prepare(*this, folder, program);
    const auto before = snapshot(folder);
    platform::setProgramFolder(program);
    run(cookbook);
    const auto messages = view_.messages();
    ASSERT_FALSE(messages.empty());
    const std::string last = text::toUtf8(messages.back().text);
    if (c.succeeds) {
        EXPECT_EQ(last.rfind("Upgrade successful!", 0), 0u) << last;
    } else {
        EXPECT_NE(messages.back().number, static_cast<int>(platform::MsgIcon::Information)) << last;
    }
    if (c.says) {
        std::string all;
        for (const auto& m : messages) all += "[" + text::toUtf8(m.title) + "] " + text::toUtf8(m.text) + "\n";
        EXPECT_NE(all.find(c.says), std::string::npos) << all;
    }
    expectNothingLost(before, program);
}

fs::path writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

const std::vector<Case> kCases{
    {"EmptyFile", [](UpgradeTest&, const fs::path& f, const fs::path&) { return writeFile(f / "empty.rcp", ""); }, false, "3343"},
    {"TextFile", [](UpgradeTest&, const fs::path& f, const fs::path&) { return writeFile(f / "notes.rcp", "Soup: water, salt\n"); },
     false, "3343"},
    {"TruncatedCookbook",
     [](UpgradeTest& t, const fs::path& f, const fs::path&) {
         const fs::path p = static_cast<BadInputMatrix&>(t).layout10(f);
         fs::resize_file(p, 2048 * 3 + 77);
         return p;
     },
     false, "3049"},
    {"NewerFormat",
     [](UpgradeTest&, const fs::path& f, const fs::path&) {
         // Without the genuine file, its first page as far as the format is told there.
         std::string header("\0\1\0\0Standard ACE DB\0\2", 21);
         header.resize(4096, '\0');
         if (!fs::exists(jetFixturesDir())) return writeFile(f / "ace.rcp", header);
         return copyFixture("delTestV2007.accdb", f / "ace.rcp");
     },
     false, "Access 2007"},
    {"AlreadyUpgraded",
     [](UpgradeTest&, const fs::path& f, const fs::path&) {
         runProcess({zestrelProgram().string(), "new", (f / "new.rcp").string()});
         return f / "new.rcp";
     },
     false, "already up to date", false, "already at version 1.3; nothing to do"},
    {"NoRecipeTable",
     [](UpgradeTest& t, const fs::path& f, const fs::path&) {
         return static_cast<BadInputMatrix&>(t).customCookbook(f.filename().string() + "/norecipe.rcp",
                                                               {{u"Ingred", {u"Name", u"rID"}}});
     },
     false, "is not a cookbook that can be upgraded: it has no table Recipe."},
    {"NoIngredTable",
     [](UpgradeTest& t, const fs::path& f, const fs::path&) {
         std::vector<std::u16string> recipe;
         for (const auto& column : cli::oldRecipeColumns(cli::OldLayout::V10)) recipe.push_back(column.name);
         return static_cast<BadInputMatrix&>(t).customCookbook(f.filename().string() + "/noingred.rcp",
                                                               {{u"Recipe", recipe}});
     },
     false, "is not a cookbook that can be upgraded: it has no table Ingred."},
    {"NoColumnRead",
     [](UpgradeTest& t, const fs::path& f, const fs::path&) {
         return static_cast<BadInputMatrix&>(t).customCookbook(f.filename().string() + "/nopic.rcp",
                                                               {{u"Recipe", {u"Name", u"rID"}}, {u"Ingred", {u"Name"}}});
     },
     false, "is not a cookbook that can be upgraded: its tables are those of neither layout 1.0 (table Recipe has no "
            "columns Catagory, MainIngr, Style, Prep, Serving, comment, Mark, PrepTime, Ingredient, Pic and Yield;"},
    {"ReadOnlyCookbookFolder",
     [](UpgradeTest& t, const fs::path& f, const fs::path& program) {
         fs::create_directories(f / "locked");
         const fs::path p = static_cast<BadInputMatrix&>(t).layout10(f / "locked");
         // A cookbook the runner may read and write (a new database is its maker's alone).
         fs::permissions(p, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                fs::perms::group_write | fs::perms::others_read | fs::perms::others_write);
         giveToRunner(program);
         fs::permissions(f / "locked", fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                           fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
         giveToRunner(f);
         return p;
     },
     false, "Cannot write in the cookbook's folder", true},
    {"ReadOnlyProgramFolder",
     [](UpgradeTest& t, const fs::path& f, const fs::path& program) {
         const fs::path p = static_cast<BadInputMatrix&>(t).layout10(f);
         fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
         giveToRunner(f);
         return p;
     },
     false, "3051", true},
    {"FolderNamedTempdb",
     [](UpgradeTest& t, const fs::path& f, const fs::path& program) {
         fs::create_directory(program / "tempdb.mdb");
         return static_cast<BadInputMatrix&>(t).layout10(f);
     },
     false, "Create Database"},
    {"PlainFileNamedBackup",
     [](UpgradeTest& t, const fs::path& f, const fs::path& program) {
         writeFile(program / "Backup", "not a folder");
         return static_cast<BadInputMatrix&>(t).layout10(f);
     },
     false, "76"},
    {"NameWithBlanksAndAccents",
     [](UpgradeTest& t, const fs::path& f, const fs::path&) {
         return static_cast<BadInputMatrix&>(t).layout10(f, "Grand-m\xC3\xA8re's Recettes \xC3\xA9t\xC3\xA9.rcp");
     },
     true, nullptr},
#ifndef _WIN32  // wine makes no symbolic links
    {"PathThroughALink",
     [](UpgradeTest& t, const fs::path& f, const fs::path&) {
         fs::create_directories(f / "real");
         const fs::path p = static_cast<BadInputMatrix&>(t).layout10(f / "real");
         fs::create_symlink(p, f / "linked.rcp");
         return f / "linked.rcp";
     },
     true, nullptr},
#endif
};

INSTANTIATE_TEST_SUITE_P(Cases, BadInputMatrix, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace zestrel::test
