// What callers of the data-access objects rely on, checked on real files.
#include <gtest/gtest.h>

#include "store/dao/db_engine.h"
#include "store/jet/failure.h"
#include "store/jet/sort_key.h"
#include "text/utf8.h"
#include "support/fixtures.h"

namespace zestrel::dao {
namespace {

class RecordsetOnFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ZESTREL_REQUIRE_SHARED();
        db_ = DBEngine::Instance().OpenDatabase(test::jetFixturesDir() / "testV1997.mdb");
    }
    void TearDown() override {
        if (db_ && db_->isOpen()) db_->Close();
    }
    template <typename Action>
    static int failureNumber(Action&& action) {
        try {
            action();
        } catch (const Failure& f) {
            return f.number();
        }
        return 0;
    }
    std::shared_ptr<Database> db_;
};

TEST_F(RecordsetOnFixture, EmptyTableIsBothBofAndEof) {
    auto rs = db_->OpenRecordset(u"Table2", dbOpenSnapshot);
    EXPECT_TRUE(rs->BOF());
    EXPECT_TRUE(rs->EOF_());
    EXPECT_EQ(rs->RecordCount(), 0);
    EXPECT_EQ(failureNumber([&] { rs->MoveFirst(); }), 3021);
    EXPECT_EQ(failureNumber([&] { rs->Fields(u"column1").Value(); }), 3021);
}

TEST_F(RecordsetOnFixture, StandsOnTheFirstRowAndCountsExactly) {
    auto rs = db_->OpenRecordset(u"Table1", dbOpenDynaset);
    EXPECT_FALSE(rs->BOF());
    EXPECT_FALSE(rs->EOF_());
    EXPECT_EQ(rs->Fields(u"A").Value().toText(), u"a");
    rs->MoveLast();
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_EQ(rs->Fields(u"a").Value().toText(), u"abcdefg");  // names match without regard to case
    rs->MoveNext();
    EXPECT_TRUE(rs->EOF_());
    EXPECT_EQ(failureNumber([&] { rs->MoveNext(); }), 3021);
    EXPECT_EQ(failureNumber([&] { rs->Fields(u"A").Value(); }), 3021);
    rs->MoveFirst();
    EXPECT_EQ(rs->Fields(u"E").Value().toText(), u"0");
}

TEST_F(RecordsetOnFixture, FieldsCarryTypeAndValueKinds) {
    auto rs = db_->OpenRecordset(u"Table1", dbOpenSnapshot);
    rs->MoveLast();
    EXPECT_EQ(rs->Fields(u"A").Type(), type::dbText);
    EXPECT_EQ(rs->Fields(u"I").Type(), type::dbBoolean);
    EXPECT_EQ(rs->Fields(u"I").Value().toText(), u"True");
    EXPECT_EQ(rs->Fields(u"H").Value().kind(), Variant::Kind::Currency);
    EXPECT_EQ(rs->Fields(u"H").Value().toText(), u"3.5");
    EXPECT_EQ(rs->Fields(u"G").Value().kind(), Variant::Kind::Date);
    EXPECT_DOUBLE_EQ(rs->Fields(u"F").Value().toDouble(), 444.555);
}

TEST_F(RecordsetOnFixture, MissingThingsHaveTheirNumbers) {
    EXPECT_EQ(failureNumber([&] { db_->OpenRecordset(u"Recipe", dbOpenSnapshot); }), 3078);
    EXPECT_EQ(failureNumber([&] { db_->OpenRecordset(u"Table1", dbOpenSnapshot)->Fields(u"Amt"); }), 3265);
    EXPECT_EQ(failureNumber([&] { db_->OpenRecordset(u"SELECT * FROM Table1 ORDER BY Amt", dbOpenDynaset); }), 3265);
    EXPECT_EQ(failureNumber([&] { db_->OpenRecordset(u"SELECT Name FROM Table1", dbOpenDynaset); }), 3131);
    EXPECT_EQ(failureNumber([&] { db_->OpenRecordset(u"Table1", 99); }), 3001);
}

TEST_F(RecordsetOnFixture, OrderByNumbersTextsAndNulls) {
    auto byId = db_->OpenRecordset(u"SELECT * FROM MSysObjects ORDER BY Id", dbOpenSnapshot);
    auto byName = db_->OpenRecordset(u"select * from [MSysObjects] order by [Name]", dbOpenSnapshot);
    auto byConnect = db_->OpenRecordset(u"SELECT * FROM MSysObjects ORDER BY Connect", dbOpenSnapshot);
    auto plain = db_->OpenRecordset(u"MSysObjects", dbOpenSnapshot);
    double lastId = -1e300;
    std::u16string lastName;
    for (; !byId->EOF_(); byId->MoveNext(), byName->MoveNext()) {
        const double id = byId->Fields(u"Id").Value().toDouble();
        EXPECT_LE(lastId, id);
        lastId = id;
        const std::u16string name = byName->Fields(u"Name").Value().toText();
        EXPECT_LE(jet::compareGeneral(lastName, name), 0) << text::toUtf8(lastName) << " / " << text::toUtf8(name);
        lastName = name;
    }
    // All Connect values are null here: every row keeps its place in the table's order.
    for (; !plain->EOF_(); plain->MoveNext(), byConnect->MoveNext()) {
        EXPECT_TRUE(byConnect->Fields(u"Connect").Value().isNull());
        EXPECT_EQ(byConnect->Fields(u"Id").Value(), plain->Fields(u"Id").Value());
    }
}

TEST_F(RecordsetOnFixture, ClosingTheDatabaseInvalidatesItsRecordsets) {
    auto rs = db_->OpenRecordset(u"Table1", dbOpenSnapshot);
    db_->Close();
    EXPECT_EQ(failureNumber([&] { rs->MoveNext(); }), 3420);
    EXPECT_EQ(failureNumber([&] { db_->OpenRecordset(u"Table1", dbOpenSnapshot); }), 3420);
}

TEST(DBEngine, IsOnePerProcess) { EXPECT_EQ(&DBEngine::Instance(), &DBEngine::Instance()); }

TEST(VariantText, ConvertsAsTheSystemDoes) {
    EXPECT_EQ(Variant(1.5f).toText(), u"1.5");
    EXPECT_EQ(Variant(0.75f).toText(), u"0.75");
    EXPECT_EQ(Variant(1.0f / 3.0f).toText(), u"0.3333333");
    EXPECT_EQ(Variant(0.1).toText(), u"0.1");
    EXPECT_EQ(Variant(false).toText(), u"False");
    EXPECT_EQ(Variant().toText(), u"");
    EXPECT_TRUE(Variant().isEmpty());
    EXPECT_FALSE(Variant().isNull());
    EXPECT_TRUE(Variant::null().isNull());
    EXPECT_THROW(Variant::null().toText(), Failure);
}

}  // namespace
}  // namespace zestrel::dao
