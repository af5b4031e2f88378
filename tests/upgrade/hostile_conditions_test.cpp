// An upgrade under hostile conditions: a damaged source, another program
// writing the cookbook, another user working in its folder, files that are no
// cookbook at all, names at the file system's limit. Each case ends in a
// numbered failure that names the file and leaves the cookbook as it was, or in
// a complete upgrade; nothing is lost and nothing is let in.
#include <atomic>
#include <fstream>
#include <thread>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "platform/fault_injection.h"
#include "platform/file.h"
#include "platform/file_replace.h"
#include "platform/file_system.h"
#include "store/jet/data_page.h"
#include "store/jet/database_file.h"
#include "store/jet/failure.h"
#include "text/utf8.h"
#include "store/jet/usage_map.h"
#include "support/fixtures.h"
#include "support/process.h"
#include "store/dao/db_engine.h"
#include "upgrade/extra_tables.h"
#include "upgrade/cookbook_replace.h"
#include "upgrade/run_record.h"
#include "upgrade/upgrade_support.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr std::size_t kPage = 2048;

class HostileConditions : public UpgradeTest {
protected:
    fs::path manyRecipes(const std::string& name, std::size_t recipes) {
        cli::SampleOptions options;
        options.layout = cli::OldLayout::V10;
        options.recipes = static_cast<int>(recipes);
        options.ingredientsPerRecipe = 2;
        const fs::path path = dir_ / name;
        cli::writeSampleCookbook(path, options);
        return path;
    }

    std::string lastMessage() const {
        const auto messages = view_.messages();
        return messages.empty() ? std::string() : text::toUtf8(messages.back().text);
    }

    bool backupFolderEmpty() const {
        return !fs::exists(program_ / "Backup") || fs::is_empty(program_ / "Backup");
    }
};

std::vector<std::uint8_t> bytesOfFile(const fs::path& path) {
    const std::string bytes = test::fileBytes(path);
    return {bytes.begin(), bytes.end()};
}

void writeBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// ---- a damaged source: never a row dropped without a word ----

struct Damage {
    const char* name;
    const char* says;
    // Damages the table Recipe of the file's bytes.
    std::function<void(std::vector<std::uint8_t>& bytes, jet::DatabaseFile& db)> apply;
};

std::uint32_t secondDataPageOf(jet::DatabaseFile& db, const jet::TableDefinition& table) {
    const auto pages = jet::dataPagesOf(db.pages(), db.format(), table);
    EXPECT_GE(pages.size(), 2u);
    return pages.at(1);
}

const std::vector<Damage> kDamages{
    {"APageNamesAnotherTableAsOwner", "owned-pages map lists page",
     [](std::vector<std::uint8_t>& bytes, jet::DatabaseFile& db) {
         const auto recipe = db.tableDefinition(u"Recipe");
         const std::uint32_t page = secondDataPageOf(db, recipe);
         const std::uint32_t ingred = db.tableDefinition(u"Ingred").page;
         for (std::size_t i = 0; i < 4; ++i) bytes[page * kPage + 4 + i] = static_cast<std::uint8_t>(ingred >> (8 * i));
     }},
    {"ThePageMapMissesAPageOfRows", "whose owned-pages map does not list it",
     [](std::vector<std::uint8_t>& bytes, jet::DatabaseFile& db) {
         const auto recipe = db.tableDefinition(u"Recipe");
         const std::uint32_t page = secondDataPageOf(db, recipe);
         const auto slot = jet::rowSlot(db.pages().page(recipe.usageMap.page), db.format(), recipe.usageMap.row);
         const auto map = db.pages().page(recipe.usageMap.page).subspan(slot.start);
         ASSERT_EQ(map[0], jet::kUsageMapInline);
         const std::uint32_t first = jet::readU32(map, 1);
         bytes[recipe.usageMap.page * kPage + slot.start + 5 + (page - first) / 8] &=
             static_cast<std::uint8_t>(~(1u << ((page - first) % 8)));
     }},
};

class DamagedSource : public HostileConditions, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedSource, StopsTheUpgradeNamingTheTableAndChangesNothing) {
    const fs::path cookbook = manyRecipes("damaged.rcp", 400);
    auto bytes = bytesOfFile(cookbook);
    {
        auto db = jet::DatabaseFile::open(cookbook);
        GetParam().apply(bytes, *db);
    }
    writeBytes(cookbook, bytes);
    run(cookbook);
    const std::string said = lastMessage();
    EXPECT_EQ(said.rfind("3049 - ", 0), 0u) << said;
    EXPECT_NE(said.find("damaged"), std::string::npos) << said;
    EXPECT_NE(said.find("Recipe"), std::string::npos) << said;
    EXPECT_NE(said.find(GetParam().says), std::string::npos) << said;
    EXPECT_NE(said.find("The cookbook was not changed."), std::string::npos) << said;
    EXPECT_EQ(bytesOfFile(cookbook), bytes);
    EXPECT_TRUE(backupFolderEmpty());
    fs::remove(cookbook);  // damaged on purpose: no file left for the closing structural check
}

INSTANTIATE_TEST_SUITE_P(Damages, DamagedSource, ::testing::ValuesIn(kDamages),
                         [](const ::testing::TestParamInfo<Damage>& d) { return std::string(d.param.name); });

// A sound cookbook of many pages still copies every row.
TEST_F(HostileConditions, ASoundCookbookOfManyPagesCopiesEveryRow) {
    const fs::path cookbook = manyRecipes("sound.rcp", 400);
    run(cookbook);
    EXPECT_EQ(lastMessage().rfind("Upgrade successful!", 0), 0u) << lastMessage();
    EXPECT_TRUE(isCompleteUpgrade(cookbook, 400, 800));
}

// ---- another program writing the cookbook, a second upgrade of it ----

// Whether the bytes reached the file.
bool appendTo(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << bytes;
    out.close();
    return !out.fail();
}

#ifdef _WIN32
// On Windows the cookbook an upgrade holds cannot be written by another program at all.
TEST_F(HostileConditions, AnotherProgramCannotWriteTheHeldCookbook) {
    const fs::path cookbook = manyRecipes("family.rcp", 20);
    bool written = true;
    view_.onPause = [&] {
        if (view_.status == u"Creating backup copy...") written = appendTo(cookbook, "saved by another program");
    };
    run(cookbook);
    EXPECT_FALSE(written);
    EXPECT_EQ(lastMessage().rfind("Upgrade successful!", 0), 0u) << lastMessage();
    EXPECT_TRUE(isCompleteUpgrade(cookbook, 20, 40));
}
#else

// A save that lands while the upgrade runs, just before the backup is made: stopped, not lost.
TEST_F(HostileConditions, ASaveDuringTheUpgradeStopsItAndIsKept) {
    const fs::path cookbook = manyRecipes("family.rcp", 20);
    view_.onPause = [&] {
        if (view_.status == u"Creating backup copy...") appendTo(cookbook, "saved by another program");
    };
    run(cookbook);
    const std::string said = lastMessage();
    EXPECT_EQ(said.rfind("3197 - ", 0), 0u) << said;
    EXPECT_NE(said.find("changed during the upgrade"), std::string::npos) << said;
    EXPECT_NE(said.find(cookbook.string()), std::string::npos) << said;
    const std::string now = test::fileBytes(cookbook);
    EXPECT_EQ(now.substr(now.size() - 24), "saved by another program");
    EXPECT_TRUE(backupFolderEmpty());
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb")) << "a failed run leaves no new database behind";
    fs::remove(cookbook);  // no longer a sound database
}

// Another program cuts the cookbook short in the middle of the copy: the upgrade stops with a
// numbered failure, never a crash, and leaves the cookbook as that program left it.
TEST_F(HostileConditions, ACookbookCutShortDuringTheCopyStopsTheUpgrade) {
    const fs::path cookbook = manyRecipes("cut.rcp", 300);
    const std::uint64_t quarter = fs::file_size(cookbook) / 4 / 4096 * 4096;  // whole pages of the system gone
    int yields = 0;
    view_.onYield = [&] {
        if (++yields == 200) fs::resize_file(cookbook, quarter);
    };
    run(cookbook);
    ASSERT_GE(yields, 200) << "the cookbook was cut during the copy";
    const std::string said = lastMessage();
    EXPECT_EQ(said.rfind("3043 - ", 0), 0u) << said;
    EXPECT_NE(said.find("became shorter while it was being read"), std::string::npos) << said;
    EXPECT_NE(said.find(cookbook.string()), std::string::npos) << said;
    EXPECT_EQ(fs::file_size(cookbook), quarter);
    EXPECT_TRUE(backupFolderEmpty());
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb")) << "a failed run leaves no new database behind";
    fs::remove(cookbook);
}

// A program that appends to the cookbook every millisecond while `zestrel upgrade` runs, with the
// program folder beside the cookbook and on another file system: every append ends in the
// cookbook, whatever the upgrade did. The upgrade refuses, either at the start, should it find
// the cookbook open for writing at that moment (3051), or at the end, finding it changed (3197).
TEST_F(HostileConditions, AWriterAppendingAllTheTimeLosesNothing) {
    std::vector<fs::path> programs{dir_ / "beside"};
    const auto other = makeTempDirOnOtherFileSystem("writer");
    if (other) programs.push_back(*other);
    for (const auto& program : programs) {
        SCOPED_TRACE(program.string());
        const fs::path cookbook = manyRecipes("appended" + std::to_string(programs.size()) + ".rcp", 300);
        const std::uint64_t start = fs::file_size(cookbook);
        std::atomic<bool> done{false};
        std::uint64_t appended = 0;
        std::thread writer([&] {
            while (!done) {
                if (appendTo(cookbook, "0123456789abcdef")) appended += 16;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        const auto result = runProcess({zestrelProgram().string(), "upgrade", "--program-folder",
                                        program.string(), cookbook.string()});
        done = true;
        writer.join();
        EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
        const std::string said = result.out + result.err;
        const bool changed = said.find("3197 - ") != std::string::npos;
        const bool openForWriting =
            said.find("3051 - ") != std::string::npos && said.find("open for writing") != std::string::npos;
        EXPECT_TRUE(changed || openForWriting) << said;
        EXPECT_EQ(fs::file_size(cookbook), start + appended) << "a save was lost";
        EXPECT_TRUE(!fs::exists(program / "Backup") || fs::is_empty(program / "Backup"));
        EXPECT_FALSE(fs::exists(program / "tempdb.mdb"));
        fs::remove(cookbook);
    }
    if (other) checkAndRemoveTempDir(*other);
}

#endif

// Another upgrade holds the cookbook (from another program folder): this one stops at once.
TEST_F(HostileConditions, ASecondUpgradeOfTheSameCookbookStopsAtOnce) {
    const fs::path cookbook = manyRecipes("family.rcp", 5);
    const std::string original = test::fileBytes(cookbook);
    platform::File other = test::holdAsAnotherRun(cookbook);
    run(cookbook);
    const std::string said = lastMessage();
    EXPECT_EQ(said.rfind("3045 - ", 0), 0u) << said;
    EXPECT_NE(said.find("of this cookbook is running"), std::string::npos) << said;
    EXPECT_EQ(test::fileBytes(cookbook), original);
    EXPECT_TRUE(backupFolderEmpty());
    other.close();
}

// ---- what is not a cookbook, names at the limit, other names of one file ----

#ifndef _WIN32
// A pipe is refused at once by every command that opens a file, never waited on.
TEST_F(HostileConditions, APipeIsRefusedAtOnce) {
    if (!programExists("timeout")) GTEST_SKIP() << "the program timeout is needed to bound a run that would hang";
    const fs::path pipe = dir_ / "f.rcp";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::vector<std::vector<std::string>> commands{
        {"version", pipe.string()},
        {"check", pipe.string()},
        {"tables", pipe.string()},
        {"upgrade", "--program-folder", program_.string(), pipe.string()},
    };
    for (const auto& command : commands) {
        std::vector<std::string> argv{"timeout", "20", zestrelProgram().string()};
        argv.insert(argv.end(), command.begin(), command.end());
        const auto result = runProcess(argv);
        SCOPED_TRACE(command.front());
        EXPECT_NE(result.exitCode, 124) << "it hung: " << result.out << result.err;
        // Browse reads no version from it, silently, as from any file it cannot open.
        if (command.front() == "version") continue;
        EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
        EXPECT_NE((result.out + result.err).find("not a regular file"), std::string::npos) << result.out << result.err;
    }
    fs::remove(pipe);
}
#endif

// On Windows a whole path is held to 260 characters before any one name reaches its limit.
#ifndef _WIN32
std::string nameOfLength(std::size_t bytes) { return std::string(bytes - 4, 'n') + ".rcp"; }

// A backup name longer than the folder allows is found before anything is copied.
TEST_F(HostileConditions, ABackupNameTooLongIsFoundBeforeTheCopy) {
    const std::size_t limit = platform::nameRoom(dir_ / "x").limit;
    const fs::path cookbook = manyRecipes(nameOfLength(limit - 2), 5);
    const std::string original = test::fileBytes(cookbook);
    run(cookbook);
    const std::string said = lastMessage();
    EXPECT_EQ(said.rfind("52 - ", 0), 0u) << said;
    EXPECT_NE(said.find("shorter name"), std::string::npos) << said;
    EXPECT_EQ(percentCaptions(), std::vector<std::u16string>{u""}) << "no row was copied";
    EXPECT_EQ(test::fileBytes(cookbook), original);
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
}

// A long name whose backup still fits upgrades, also with the program folder on another file
// system (where a copy is written beside the cookbook under a temporary name).
TEST_F(HostileConditions, ALongNameWhoseBackupFitsUpgrades) {
    const std::size_t limit = platform::nameRoom(dir_ / "x").limit;
    // The list of changed values beside the backup has the longest name: 15 more than the cookbook's.
    const fs::path cookbook = manyRecipes(nameOfLength(limit - 15), 5);
    const auto other = makeTempDirOnOtherFileSystem("long");
    if (other) platform::setProgramFolder(*other);
    run(cookbook);
    EXPECT_EQ(lastMessage().rfind("Upgrade successful!", 0), 0u) << lastMessage();
    EXPECT_TRUE(isCompleteUpgrade(cookbook, 5, 10));
    platform::setProgramFolder(program_);
    if (other) checkAndRemoveTempDir(*other);
}

#endif

// A cookbook with a second name: its backup is a copy of its own, which a later write through
// that other name leaves alone.
TEST_F(HostileConditions, AHardLinkedCookbookGetsABackupOfItsOwn) {
    const fs::path cookbook = manyRecipes("family.rcp", 5);
    const std::string original = test::fileBytes(cookbook);
    const fs::path otherName = dir_ / "other name.rcp";
    fs::create_hard_link(cookbook, otherName);
    run(cookbook);
    ASSERT_EQ(lastMessage().rfind("Upgrade successful!", 0), 0u) << lastMessage();
    const fs::path backup = program_ / "Backup" / "family_backup.rcp";
    EXPECT_EQ(fs::hard_link_count(backup), 1u);
    appendTo(otherName, "written through the other name");
    EXPECT_EQ(test::fileBytes(backup), original);
    fs::remove(otherName);
}

// ---- what a run leaves, what it says ----

// A run killed between the backup and the replacement left a backup and its record: the next run
// removes that backup, and the Backup folder ends with the one backup of the upgrade that happened.
TEST_F(HostileConditions, ABackupOfAnUpgradeThatNeverHappenedIsRemovedByTheNextRun) {
    const fs::path cookbook = manyRecipes("family.rcp", 5);
    const std::string original = test::fileBytes(cookbook);
    fs::create_directory(program_ / "Backup");
    const fs::path orphan = program_ / "Backup" / "family_backup.rcp";
    fs::copy_file(cookbook, orphan);
    const auto state = platform::fileState(cookbook);
    ASSERT_TRUE(state);
    const auto origin = upgrade::originOf(cookbook.u16string(), cookbook, *state);
    upgrade::writeOrigin(platform::Folder::open(program_ / "Backup"), orphan.filename(), upgrade::KeptAs::Backup, origin);
    upgrade::writeRunRecord(platform::Folder::open(program_), {origin.resolved, orphan.filename(), state->identity(), state->size});
    run(cookbook);
    ASSERT_EQ(lastMessage().rfind("Upgrade successful!", 0), 0u) << lastMessage();
    std::vector<fs::path> backups;
    for (const auto& entry : fs::directory_iterator(program_ / "Backup"))
        if (entry.path().extension() == ".rcp") backups.push_back(entry.path());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups.front(), orphan) << "the name freed by the orphan is the one used";
    EXPECT_EQ(test::fileBytes(orphan), original);
    EXPECT_FALSE(fs::exists(program_ / ".zestrel-run"));
}

// A record whose cookbook was replaced keeps its backup: that upgrade did happen.
TEST_F(HostileConditions, ABackupOfAnUpgradeThatHappenedStays) {
    const fs::path cookbook = manyRecipes("family.rcp", 5);
    run(cookbook);
    const fs::path backup = program_ / "Backup" / "family_backup.rcp";
    ASSERT_TRUE(fs::exists(backup));
    const auto state = platform::fileState(backup);
    const auto programFolder = platform::Folder::open(program_);
    upgrade::writeRunRecord(programFolder, {platform::resolvedPath(cookbook), backup.filename(), state->identity(), state->size});
    upgrade::finishInterruptedRun(programFolder, platform::Folder::open(program_ / "Backup"));
    EXPECT_TRUE(fs::exists(backup));
    EXPECT_FALSE(fs::exists(program_ / ".zestrel-run"));
}

TEST_F(HostileConditions, TablesNotCarriedOverAreNamedInTheSuccessMessage) {
    const fs::path cookbook = manyRecipes("family.rcp", 3);
    {
        auto db = dao::DBEngine::Instance().OpenDatabase(cookbook);
        for (const char16_t* name : {u"Xtra", u"Notes"}) {
            auto td = db->CreateTableDef(name);
            td->Fields().Append(td->CreateField(u"Text", dao::type::dbText, 50));
            db->TableDefs().Append(td);
        }
        auto rs = db->OpenRecordset(u"Notes", dao::dbOpenDynaset);
        for (int i = 0; i < 2; ++i) {
            rs->AddNew();
            rs->Collect(u"Text") = dao::Variant(u"kept in the backup");
            rs->Update();
        }
        rs->Close();
        rs = db->OpenRecordset(u"Xtra", dao::dbOpenDynaset);
        rs->AddNew();
        rs->Collect(u"Text") = dao::Variant(u"one");
        rs->Update();
        rs->Close();
        db->Close();
    }
    run(cookbook);
    const std::string said = lastMessage();
    EXPECT_EQ(said.rfind("Upgrade successful!", 0), 0u) << said;
    EXPECT_NE(said.find("Table Xtra (1 row) was not carried over; it is in the backup."), std::string::npos) << said;
    EXPECT_NE(said.find("Table Notes (2 rows) was not carried over; it is in the backup."), std::string::npos) << said;
    // The list of changed values says it too, after its counts.
    const std::string list = test::textFile(program_ / "Backup" / "family_backup_changes.txt");
    EXPECT_NE(list.find(" in 3 recipes.\nTable Xtra (1 row) was not carried over"), std::string::npos) << list;
}

TEST(NotCarriedOverText, NamesEachTableWithItsRows) {
    EXPECT_EQ(upgrade::notCarriedOverText({}), u"");
    EXPECT_EQ(upgrade::notCarriedOverText({{u"Xtra", 0}, {u"Old", std::nullopt}}),
              u"Table Xtra (0 rows) was not carried over; it is in the backup. "
              u"Table Old was not carried over; it is in the backup.");
}

#ifndef _WIN32
constexpr uid_t kOtherUser = 65534;

// The upgraded cookbook keeps its owner and group when root upgrades it; a member of the group
// who upgrades it keeps the group and is told the owner could not be kept.
TEST_F(HostileConditions, OwnerAndGroupAreKeptWhereTheSystemAllows) {
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
    const fs::path cookbook = manyRecipes("shared.rcp", 3);
    ASSERT_EQ(::chown(cookbook.c_str(), kOtherUser, kOtherUser), 0);
    ASSERT_EQ(::chmod(cookbook.c_str(), 0660), 0);
    run(cookbook);
    ASSERT_EQ(lastMessage().rfind("Upgrade successful!", 0), 0u) << lastMessage();
    EXPECT_EQ(lastMessage().find("could not keep"), std::string::npos) << lastMessage();
    struct stat st {};
    ASSERT_EQ(::stat(cookbook.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kOtherUser);
    EXPECT_EQ(st.st_gid, kOtherUser);
    EXPECT_EQ(st.st_mode & 07777, 0660u);

    if (!programExists("setpriv")) GTEST_SKIP() << "setpriv is needed to act as another user";
    // Owned by daemon (1), group 65534, in a folder of user 65534, who upgrades it.
    const fs::path shared = dir_ / "shared";
    fs::create_directory(shared);
    const fs::path other = shared / "group.rcp";
    fs::copy_file(dir_ / "program" / "Backup" / "shared_backup.rcp", other);
    ASSERT_EQ(::chown(other.c_str(), 1, kOtherUser), 0);
    ASSERT_EQ(::chmod(other.c_str(), 0660), 0);
    ASSERT_EQ(::chown(shared.c_str(), kOtherUser, kOtherUser), 0);
    ASSERT_EQ(::chmod(shared.c_str(), 0755), 0);
    ASSERT_EQ(::chmod(dir_.c_str(), 0755), 0);
    const fs::path program = shared / "program";
    const auto result = runProcess({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                    zestrelProgram().string(), "upgrade", "--program-folder",
                                    program.string(), other.string()});
    EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
    EXPECT_NE((result.out + result.err).find("could not keep the original's owner"), std::string::npos) << result.out;
    ASSERT_EQ(::stat(other.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kOtherUser);
    EXPECT_EQ(st.st_gid, kOtherUser) << "the group is kept";
    EXPECT_EQ(st.st_mode & 07777, 0660u);
    // The program folder and its Backup are the user's alone.
    ASSERT_EQ(::stat(program.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((program / "Backup").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

// The cookbook's owner (who may write its folder) swaps the new file beside the cookbook for a
// link to a file only root may read, just before the rename, while root upgrades it. The run
// notices, puts nothing onto what now stands at the name and takes no owner or mode from it: the
// root-only file keeps its content, owner and mode, and the original is whole in Backup.
TEST_F(HostileConditions, AnUndoNeverAdoptsWhatWasSwappedIn) {
    const auto other = test::makeTempDirOnOtherFileSystem("swap");
    if (!other) GTEST_SKIP() << "no tmpfs at /dev/shm on another file system than " << dir_;
    const fs::path program = *other / "program";
    fs::create_directory(program);
    platform::setProgramFolder(program);
    const fs::path home = dir_ / "home";
    fs::create_directory(home);
    const fs::path cookbook = home / "family.rcp";
    fs::rename(manyRecipes("family.rcp", 5), cookbook);
    const std::string original = test::fileBytes(cookbook);
    ASSERT_EQ(::chmod(cookbook.c_str(), 0600), 0);
    const fs::path secret = dir_ / "root-only";
    std::ofstream(secret) << "root's";
    ASSERT_EQ(::chmod(secret.c_str(), 0600), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(home.c_str(), kOtherUser, kOtherUser), 0);
        ASSERT_EQ(::chown(cookbook.c_str(), kOtherUser, kOtherUser), 0);
    }
    platform::faults::actBefore("rename", [&](const fs::path& from) {
        if (from.parent_path() != home || !platform::isTemporaryPath(from)) return false;
        fs::rename(from, home / "taken away");
        fs::create_symlink(secret, from);
        if (root) {
            EXPECT_EQ(::lchown(from.c_str(), kOtherUser, kOtherUser), 0);
        }
        return true;
    });
    run(cookbook);
    platform::faults::actBefore("rename", {});
    const std::string said = lastMessage();
    EXPECT_NE(said.find("Another program put a different file at " + cookbook.string() +
                        " and nothing was moved onto it; the original cookbook lies at " +
                        (program / "Backup" / "family_backup.rcp").string()),
              std::string::npos)
        << said;
    EXPECT_EQ(test::fileBytes(program / "Backup" / "family_backup.rcp"), original);
    struct stat st {};
    ASSERT_EQ(::stat(secret.c_str(), &st), 0);
    EXPECT_EQ(test::fileBytes(secret), "root's");
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_uid, ::geteuid());
    fs::remove(cookbook);
    fs::remove(home / "taken away");
    platform::setProgramFolder(program_);
    test::checkAndRemoveTempDir(*other, {"tempdb.mdb"});
}
#endif

// A failed copy leaves no full-size new database in the program folder.
TEST_F(HostileConditions, AFailedCopyLeavesNoNewDatabase) {
    // An rID longer than its column stops the copy at that row.
    const fs::path cookbook = this->cookbook("longrid.rcp", cli::OldLayout::V11, {json{{"rID", std::string(51, 'x')}}}, {});
    run(cookbook);
    EXPECT_EQ(lastMessage().rfind("3163 - ", 0), 0u) << lastMessage();
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
}

}  // namespace
}  // namespace zestrel::test
