// Creating an empty layout-1.3 cookbook: its tables, columns, zero-length
// permissions and Version row, read back by our reader and by mdbtools and
// mdb-reader; and each failure report of the creation.
#include <algorithm>
#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include "format/cookbook_schema.h"
#include "format/create_cookbook.h"
#include "store/dao/db_engine.h"
#include "store/db_function.h"
#include "store/jet/failure.h"
#include "text/utf8.h"
#include "support/fixtures.h"
#include "support/process.h"
#include "support/reference_readers.h"
#include "support/recording_view.h"

namespace zestrel::dbFunction {
namespace {

namespace fs = std::filesystem;

// Layout 1.3, as "table column type size zero-length-allowed" lines in column order.
const std::vector<std::string> kLayout{
    "Recipe Name Text 255 yes",         "Recipe Category Text 255 yes",   "Recipe MainIngredient Text 255 yes",
    "Recipe CuisineStyle Text 255 yes", "Recipe Preparation Memo 0 yes",  "Recipe Yield Text 5 yes",
    "Recipe Note Memo 0 yes",           "Recipe Mark Boolean 1 no",       "Recipe PrepTime Text 80 yes",
    "Recipe CookTime Text 80 yes",      "Recipe Ingredients Memo 0 yes",  "Recipe Picture Text 255 yes",
    "Recipe RecipeBy Text 255 yes",     "Recipe UserDefine1 Text 255 yes", "Recipe YieldUnit Text 80 yes",
    "Recipe rID Text 50 yes",           "Recipe Cookware Text 255 yes",
    "Ingredient Amount Text 20 yes",    "Ingredient Measure Text 80 yes", "Ingredient Ingredient Text 255 yes",
    "Ingredient PrepComment Text 255 yes", "Ingredient Name Text 255 yes", "Ingredient ItemNo Text 5 yes",
    "Ingredient rID Text 50 yes",       "Ingredient Weights Text 80 yes", "Ingredient Link Long 4 no",
    "Ingredient Factor Double 8 no",    "Ingredient MEID Long 4 no",      "Ingredient Cost Currency 8 no",
    "Ingredient CostUnit Text 50 yes",
    "Version Version Text 10 yes",
};

class CreatingCookbooks : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::makeTempDir("create");
        platform::setMessageView(&view_);
    }
    void TearDown() override {
        CloseCookbook();
        platform::setMessageView(nullptr);
        test::checkAndRemoveTempDir(dir_);
    }
    std::u16string at(const std::string& name) { return (dir_ / name).u16string(); }

    RecordingView view_;
    fs::path dir_;
};

TEST_F(CreatingCookbooks, ANewCookbookHasTheLayoutAndOneVersionRowAndNoMessage) {
    CreateCookbook(at("new.rcp"));
    EXPECT_TRUE(view_.messages().empty());
    EXPECT_EQ(dbCookbook, nullptr);
    const auto lines = test::splitLines(
        test::runProcess({test::zestrelProgram().string(), "schema", (dir_ / "new.rcp").string()}).out);
    std::vector<std::string> layout;
    for (auto line : lines) {
        std::replace(line.begin(), line.end(), '\t', ' ');
        layout.push_back(line);
    }
    EXPECT_EQ(layout, kLayout);
    auto db = dao::DBEngine::Instance().OpenDatabase(dir_ / "new.rcp");  // closed, so it opens at once
    EXPECT_EQ(db->OpenRecordset(u"Recipe", dao::dbOpenSnapshot)->RecordCount(), 0);
    EXPECT_EQ(db->OpenRecordset(u"Ingredient", dao::dbOpenSnapshot)->RecordCount(), 0);
    auto version = db->OpenRecordset(u"Version", dao::dbOpenSnapshot);
    EXPECT_EQ(version->RecordCount(), 1);
    EXPECT_EQ(version->Fields(u"Version").Value().toText(), u"1.3.142");
    EXPECT_EQ(programVersionText(), u"1.3.142");
}

#ifndef _WIN32
// A new database (the upgrade's temporary copy among them) is its owner's alone, whatever the
// process's umask lets others have, until its access is set from the cookbook it replaces.
TEST_F(CreatingCookbooks, ANewDatabaseIsReadableByItsOwnerAlone) {
    const auto permissive = ::umask(0);
    CreateCookbook(at("new.rcp"));
    ::umask(permissive);
    const auto mode = fs::status(dir_ / "new.rcp").permissions();
    EXPECT_EQ(mode & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
    EXPECT_EQ(mode & fs::perms::owner_read, fs::perms::owner_read);
}
#endif

TEST_F(CreatingCookbooks, ZeroLengthTextsGoWhereAllowedAndLimitsHold) {
    CreateCookbook(at("new.rcp"));
    auto db = dao::DBEngine::Instance().OpenDatabase(dir_ / "new.rcp");
    for (const char16_t* table : {u"Recipe", u"Ingredient", u"Version"}) {
        auto rs = db->OpenRecordset(table, dao::dbOpenDynaset);
        rs->AddNew();
        const auto definition = db->tableDef(table);
        for (const auto& field : definition->Fields().items())
            if (field->Type() == dao::type::dbText || field->Type() == dao::type::dbMemo)
                rs->Collect(field->Name()) = dao::Variant(u"");
        EXPECT_NO_THROW(rs->Update()) << text::toUtf8(table);
    }
    auto recipe = db->OpenRecordset(u"Recipe", dao::dbOpenDynaset);
    recipe->AddNew();
    recipe->Collect(u"Yield") = dao::Variant(u"123456");
    EXPECT_THROW(recipe->Update(), Failure);
    recipe->Collect(u"Yield") = dao::Variant(u"12345");
    EXPECT_NO_THROW(recipe->Update());
    auto ingredient = db->OpenRecordset(u"Ingredient", dao::dbOpenDynaset);
    ingredient->AddNew();
    ingredient->Collect(u"Amount") = dao::Variant(std::u16string(21, u'1'));
    try {
        ingredient->Update();
        FAIL() << "a 21-character Amount was stored";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 3163);
    }
}

TEST_F(CreatingCookbooks, StampingMakesTheVersionRead13) {
    CreateCookbook(at("new.rcp"));
    OpenCookbook(at("new.rcp"));
    StampCurrentVersion();
    CloseCookbook();
    OpenCookbook(at("new.rcp"));
    EXPECT_EQ(ReadCookbookVersion(), u"1.3");
}

TEST_F(CreatingCookbooks, AnExistingFileGivesOneBoxAndStaysUnchanged) {
    CreateCookbook(at("twice.rcp"));
    const std::string first = test::fileBytes(dir_ / "twice.rcp");
    CreateCookbook(at("twice.rcp"));
    const auto messages = view_.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, u"Create Database");
    EXPECT_EQ(messages[0].number, static_cast<int>(platform::MsgIcon::Critical));
    const std::string text = text::toUtf8(messages[0].text);
    EXPECT_EQ(text.rfind("3204 - ", 0), 0u) << text;  // one blank each side of the hyphen
    EXPECT_EQ(text.find("  "), std::string::npos);
    EXPECT_NE(text.back(), ' ');
    EXPECT_EQ(test::fileBytes(dir_ / "twice.rcp"), first);
    EXPECT_EQ(dbCookbook, nullptr);
}

TEST_F(CreatingCookbooks, AMissingFolderGivesOneBoxAndCreatesNothing) {
    CreateCookbook(at("no-such-folder/new.rcp"));
    const auto messages = view_.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, u"Create Database");
    EXPECT_EQ(text::toUtf8(messages[0].text).rfind("3044 - ", 0), 0u);
    EXPECT_FALSE(fs::exists(dir_ / "no-such-folder"));
}

TEST_F(CreatingCookbooks, AVersionTableThatExistsIsReportedUnderTheApplicationTitleAndTheRowIsWritten) {
    dbCookbook = dao::DBEngine::Instance().CreateDatabase(dir_ / "v.rcp", dao::dbLangGeneral, dao::dbVersion30);
    CreateVersionTable();
    CreateVersionTable();  // the table exists now: its definition fails, the row is written all the same
    const auto messages = view_.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].title, u"");  // shown with the application title
    EXPECT_EQ(text::toUtf8(messages[0].text).rfind("3010 - ", 0), 0u);
    EXPECT_EQ(dbCookbook->OpenRecordset(u"Version", dao::dbOpenSnapshot)->RecordCount(), 2);
}

TEST_F(CreatingCookbooks, ASecondFailureInTheVersionRowReachesCreateDatabase) {
    // A Version table whose column is too short for the version text: defining fails, then writing fails.
    dbCookbook = dao::DBEngine::Instance().CreateDatabase(dir_ / "v.rcp", dao::dbLangGeneral, dao::dbVersion30);
    auto td = dbCookbook->CreateTableDef(u"Version");
    td->Fields().Append(td->CreateField(u"Version", dao::type::dbText, 3));
    dbCookbook->TableDefs().Append(td);
    EXPECT_THROW(CreateVersionTable(), Failure);
    EXPECT_TRUE(view_.messages().empty());
    EXPECT_NE(dbCookbook, nullptr);  // still open, as CreateCookbook leaves it after such a failure
}

TEST_F(CreatingCookbooks, ReferenceReadersSeeTheLayout) {
    if (!test::mdbtoolsInstalled()) GTEST_SKIP() << "mdbtools is not installed (the test command installs it)";
    const std::string file = (dir_ / "cli.rcp").string();
    ASSERT_EQ(test::runProcess({test::zestrelProgram().string(), "new", file}).exitCode, 0);
    EXPECT_EQ(test::mdbVersion(file), "JET3");
    std::vector<std::string> layout;
    for (const char* table : {"Recipe", "Ingredient", "Version"}) {
        const auto props = test::mdbPropAllowZeroLength(file, table);
        for (const auto& c : test::mdbSchema(file, table)) {
            const bool allowed = props.count(c.name) && props.at(c.name);
            const long size = c.type == "Text" ? c.size
                                               : (c.type == "Long"      ? 4
                                                  : c.type == "Boolean" ? 1
                                                  : c.type == "Memo"    ? 0
                                                                        : 8);
            layout.push_back(std::string(table) + " " + c.name + " " + c.type + " " + std::to_string(size) +
                             (allowed ? " yes" : " no"));
        }
        EXPECT_EQ(test::mdbJsonRows(file, table).size(), std::string(table) == "Version" ? 1u : 0u);
    }
    EXPECT_EQ(layout, kLayout);
    EXPECT_EQ(test::mdbJsonRows(file, "Version")[0]["Version"], "1.3.142");
    if (test::mdbReaderInstalled()) {
        std::vector<std::string> read;
        for (const auto& table : test::mdbReaderTables(file)) {
            if (table.name.rfind("MSys", 0) != 0) read.push_back(table.name);
            EXPECT_EQ(table.error, "") << table.name;
            if (table.name == "Version") {
                ASSERT_EQ(table.rows.size(), 1u);
                EXPECT_EQ(table.rows[0]["Version"], "1.3.142");
            }
        }
        std::sort(read.begin(), read.end());
        EXPECT_EQ(read, (std::vector<std::string>{"Ingredient", "Recipe", "Version"}));
    }
}

}  // namespace
}  // namespace zestrel::dbFunction
