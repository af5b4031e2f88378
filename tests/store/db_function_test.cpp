// The cookbook handle: open, read, stamp and close never show a message nor
// pass a failure on; reading gives an empty text whenever the marker cannot be
// read, stamping changes only the first row.
#include <fstream>

#include <gtest/gtest.h>

#include "store/dao/db_engine.h"
#include "store/db_function.h"
#include "support/fixtures.h"
#include "support/recording_view.h"

namespace zestrel::dbFunction {
namespace {

namespace fs = std::filesystem;

class CookbookHandle : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = test::makeTempDir("handle");
        platform::setMessageView(&view_);
    }
    void TearDown() override {
        CloseCookbook();
        platform::setMessageView(nullptr);
        test::checkAndRemoveTempDir(dir_);
        EXPECT_TRUE(view_.messages().empty());  // these procedures never show a message
    }

    // A database whose Version table (when `rows` is given) holds those values (nullopt: null).
    std::u16string cookbookWith(std::optional<std::vector<std::optional<std::u16string>>> rows, long size = 10) {
        const fs::path path = dir_ / ("book" + std::to_string(counter_++) + ".rcp");
        auto db = dao::DBEngine::Instance().CreateDatabase(path, dao::dbLangGeneral, dao::dbVersion30);
        auto recipe = db->CreateTableDef(u"Recipe");
        recipe->Fields().Append(recipe->CreateField(u"Name", dao::type::dbText, 50));
        db->TableDefs().Append(recipe);
        if (rows) {
            auto td = db->CreateTableDef(u"Version");
            auto field = td->CreateField(u"Version", dao::type::dbText, size);
            field->AllowZeroLength(true);
            td->Fields().Append(field);
            db->TableDefs().Append(td);
            auto rs = db->OpenRecordset(u"Version", dao::dbOpenDynaset);
            for (const auto& value : *rows) {
                rs->AddNew();
                rs->Collect(u"Version") = value ? dao::Variant(*value) : dao::Variant::null();
                rs->Update();
            }
        }
        db->Close();
        return path.u16string();
    }

    std::u16string readVersionOf(const std::u16string& path) {
        OpenCookbook(path);
        auto version = ReadCookbookVersion();
        CloseCookbook();
        return version;
    }

    RecordingView view_;
    fs::path dir_;
    int counter_ = 0;
};

struct MarkerCase {
    const char* name;
    std::optional<std::vector<std::optional<std::u16string>>> rows;
    std::u16string expected;
};

class Markers : public CookbookHandle, public ::testing::WithParamInterface<MarkerCase> {};

TEST_P(Markers, ReadAsTheCallerExpects) {
    EXPECT_EQ(readVersionOf(cookbookWith(GetParam().rows)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Markers,
    ::testing::Values(MarkerCase{"NoVersionTable", std::nullopt, u""},
                      MarkerCase{"EmptyTable", std::vector<std::optional<std::u16string>>{}, u""},
                      MarkerCase{"NullMarker", std::vector<std::optional<std::u16string>>{std::nullopt}, u""},
                      MarkerCase{"OneOne", std::vector<std::optional<std::u16string>>{u"1.1"}, u"1.1"},
                      MarkerCase{"LongerThanThree", std::vector<std::optional<std::u16string>>{u"1.3.142"}, u"1.3.142"},
                      MarkerCase{"SeveralRowsFirstCounts",
                                 std::vector<std::optional<std::u16string>>{u"1.1", u"1.3", u"9.9"}, u"1.1"},
                      MarkerCase{"ZeroLength", std::vector<std::optional<std::u16string>>{u""}, u""}),
    [](const ::testing::TestParamInfo<MarkerCase>& param) { return std::string(param.param.name); });

TEST_F(CookbookHandle, StampOverwritesOnlyTheFirstRow) {
    const auto path = cookbookWith(std::vector<std::optional<std::u16string>>{u"1.1", u"1.0"});
    OpenCookbook(path);
    StampCurrentVersion();
    CloseCookbook();
    EXPECT_EQ(readVersionOf(path), u"1.3");
    auto db = dao::DBEngine::Instance().OpenDatabase(fs::path(path));
    auto rs = db->OpenRecordset(u"Version", dao::dbOpenSnapshot);
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->Fields(u"Version").Value().toText(), u"1.0");
}

TEST_F(CookbookHandle, StampOnAnEmptyTableAddsNoRow) {
    const auto path = cookbookWith(std::vector<std::optional<std::u16string>>{});
    OpenCookbook(path);
    StampCurrentVersion();
    CloseCookbook();
    auto db = dao::DBEngine::Instance().OpenDatabase(fs::path(path));
    EXPECT_EQ(db->OpenRecordset(u"Version", dao::dbOpenSnapshot)->RecordCount(), 0);
}

TEST_F(CookbookHandle, NothingOpenMeansEmptyAndNothing) {
    CloseCookbook();
    EXPECT_EQ(ReadCookbookVersion(), u"");
    StampCurrentVersion();
    EXPECT_EQ(dbCookbook, nullptr);
    CloseCookbook();
    CloseCookbook();  // twice is harmless
    EXPECT_EQ(dbCookbook, nullptr);
}

TEST_F(CookbookHandle, AFailedOpenKeepsTheHandleAsItWas) {
    const auto path = cookbookWith(std::vector<std::optional<std::u16string>>{u"1.1"});
    OpenCookbook((dir_ / "missing.rcp").u16string());
    EXPECT_EQ(dbCookbook, nullptr);
    std::ofstream(dir_ / "text.rcp") << "not a database";
    OpenCookbook((dir_ / "text.rcp").u16string());
    EXPECT_EQ(dbCookbook, nullptr);
    OpenCookbook(path);
    ASSERT_NE(dbCookbook, nullptr);
    OpenCookbook((dir_ / "missing.rcp").u16string());
    EXPECT_EQ(ReadCookbookVersion(), u"1.1");  // the earlier cookbook is still held
}

TEST_F(CookbookHandle, StampOnAStoredMarkerTooLongForItsColumnLeavesIt) {
    const auto path = cookbookWith(std::vector<std::optional<std::u16string>>{u"1"}, 1);  // "1.3" does not fit
    OpenCookbook(path);
    StampCurrentVersion();
    CloseCookbook();
    EXPECT_EQ(readVersionOf(path), u"1");
}

}  // namespace
}  // namespace zestrel::dbFunction
