// A row that fails after its long values went to their pages (a text the code page cannot hold,
// found while the row itself is encoded): everything the write changed is put back, in the cache
// as in the file, which closes exactly as it was and passes the structural check.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "store/dao/db_engine.h"
#include "store/jet/database_file.h"
#include "store/jet/failure.h"
#include "support/fixtures.h"

namespace zestrel::jet {
namespace {

namespace fs = std::filesystem;

class FailedWrite : public ::testing::TestWithParam<std::size_t> {
protected:
    void SetUp() override { dir_ = test::makeTempDir("failed-write"); }
    void TearDown() override { test::checkAndRemoveTempDir(dir_); }
    fs::path dir_;
};

// The memo's length decides where it goes: inline, a row on the column's current LVAL page, a row on
// a new page, or a chain over several pages.
TEST_P(FailedWrite, LeavesTheFileAsItWas) {
    const fs::path path = dir_ / "t.mdb";
    {
        auto db = dao::DBEngine::Instance().CreateDatabase(path, dao::dbLangGeneral, dao::dbVersion30);
        auto td = db->CreateTableDef(u"T");
        td->Fields().Append(td->CreateField(u"Name", dao::type::dbText, 50));
        td->Fields().Append(td->CreateField(u"Note", dao::type::dbMemo));
        td->Fields().Append(td->CreateField(u"Qty", dao::type::dbLong, 4));
        db->TableDefs().Append(td);
        auto rs = db->OpenRecordset(u"T", dao::dbOpenDynaset);
        for (int i = 0; i < 30; ++i) {  // pages of rows and long values to add to
            rs->AddNew();
            rs->Collect(u"Name") = dao::Variant(u"row");
            rs->Collect(u"Note") = dao::Variant(std::u16string(700, u'n'));
            rs->Update();
        }
        db->Close();
    }
    const std::string before = test::fileBytes(path);
    {
        auto file = DatabaseFile::open(path);
        auto table = file->tableDefinition(u"T");
        auto& pages = file->pages();
        std::vector<std::vector<std::uint8_t>> cached;  // every page as the open file sees it
        for (std::uint32_t n = 0; n < pages.pageCount(); ++n) {
            const auto page = pages.page(n);
            cached.emplace_back(page.begin(), page.end());
        }
        // The long value is stored before the row is built, which the number column's text then fails.
        const std::vector<Value> values{Value(std::u16string(u"row")), Value(std::u16string(GetParam(), u'm')),
                                        Value(std::u16string(u"not a number"))};
        EXPECT_THROW(file->insertRow(table, RowLayout(table, file->format()), addressesOf(values)), Failure);
        ASSERT_EQ(pages.pageCount(), cached.size());
        for (std::uint32_t n = 0; n < pages.pageCount(); ++n) {
            const auto page = pages.page(n);
            EXPECT_TRUE(std::equal(page.begin(), page.end(), cached[n].begin(), cached[n].end())) << "page " << n;
        }
        file->close();
    }
    EXPECT_EQ(test::fileBytes(path), before);
}

INSTANTIATE_TEST_SUITE_P(MemoLengths, FailedWrite, ::testing::Values(10u, 300u, 1500u, 9000u));

}  // namespace
}  // namespace zestrel::jet
