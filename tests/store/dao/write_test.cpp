// Creating databases and tables and writing rows through the data-access
// objects: what succeeds, and every refusal, each of which leaves the file
// readable and unchanged.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <optional>

#include <gtest/gtest.h>

#include "store/dao/db_engine.h"
#include "store/jet/failure.h"
#include "text/utf8.h"
#include "support/fixtures.h"

namespace zestrel::dao {
namespace {

namespace fs = std::filesystem;

template <typename Action>
int failureNumber(Action&& action) {
    try {
        action();
    } catch (const Failure& f) {
        return f.number();
    }
    return 0;
}

class Writing : public ::testing::Test {
protected:
    void SetUp() override { dir_ = test::makeTempDir("write"); }
    void TearDown() override { test::checkAndRemoveTempDir(dir_); }

    std::shared_ptr<Database> create(const std::string& name = "new.mdb") {
        return DBEngine::Instance().CreateDatabase(dir_ / name, dbLangGeneral, dbVersion30);
    }

    // A database with one table T: Name Text(5) allowing "", Code Text(3) not allowing "", Qty Long, Ok Boolean.
    fs::path sample() {
        fs::remove(dir_ / "sample.mdb");
        auto db = create("sample.mdb");
        auto td = db->CreateTableDef(u"Sample");
        auto name = td->CreateField(u"Name", type::dbText, 5);
        name->AllowZeroLength(true);
        td->Fields().Append(name);
        td->Fields().Append(td->CreateField(u"Code", type::dbText, 3));
        td->Fields().Append(td->CreateField(u"Qty", type::dbLong, 4));
        td->Fields().Append(td->CreateField(u"Ok", type::dbBoolean, 1));
        db->TableDefs().Append(td);
        auto rs = db->OpenRecordset(u"Sample", dbOpenDynaset);
        rs->AddNew();
        rs->Collect(u"Name") = Variant(u"Pie");
        rs->Collect(u"Qty") = Variant(7);
        rs->Update(dbUpdateRegular, false);
        rs->Close();
        db->Close();
        return dir_ / "sample.mdb";
    }

    // Runs a refused write on the sample and checks the file is unchanged and still readable.
    void expectRefusal(int number, const std::function<void(Recordset&)>& write) {
        const fs::path path = sample();
        const std::string before = test::fileBytes(path);
        auto db = DBEngine::Instance().OpenDatabase(path);
        auto rs = db->OpenRecordset(u"Sample", dbOpenDynaset);
        EXPECT_EQ(failureNumber([&] { write(*rs); }), number);
        rs->Close();
        db->Close();
        EXPECT_EQ(test::fileBytes(path), before);
        auto again = DBEngine::Instance().OpenDatabase(path);
        EXPECT_EQ(again->OpenRecordset(u"Sample", dbOpenSnapshot)->RecordCount(), 1);
        again->Close();
    }

    fs::path dir_;
};

TEST_F(Writing, ANewDatabaseReadsBackWithItsRows) {
    const fs::path path = sample();
    auto db = DBEngine::Instance().OpenDatabase(path);
    EXPECT_EQ(db->tableNames(false), std::vector<std::u16string>{u"Sample"});
    auto rs = db->OpenRecordset(u"Sample", dbOpenSnapshot);
    ASSERT_EQ(rs->RecordCount(), 1);
    EXPECT_EQ(rs->Fields(u"Name").Value().toText(), u"Pie");
    EXPECT_TRUE(rs->Fields(u"Code").Value().isNull());
    EXPECT_EQ(rs->Fields(u"Qty").Value().toText(), u"7");
    EXPECT_EQ(rs->Fields(u"Ok").Value().toText(), u"False");
    EXPECT_TRUE(rs->Fields(u"Name").AllowZeroLength());
    EXPECT_FALSE(rs->Fields(u"Code").AllowZeroLength());
    EXPECT_EQ(rs->Fields(u"Name").Size(), 5);
    db->Close();
}

TEST_F(Writing, ConvertsValuesIntoTheColumnType) {
    const fs::path path = sample();
    auto db = DBEngine::Instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(u"Sample", dbOpenDynaset);
    rs->AddNew();
    rs->Collect(u"Name") = Variant(1.0f / 3.0f);  // too long as text: 0.3333333 has 9 characters
    EXPECT_EQ(failureNumber([&] { rs->Update(); }), 3163);
    rs->Collect(u"Name") = Variant(0.75f);
    rs->Collect(u"Code") = Variant(1.5);
    rs->Collect(u"Qty") = Variant(u" 42 ");
    rs->Collect(u"Ok") = Variant(u"Yes");
    rs->Update();
    rs->MoveLast();
    EXPECT_EQ(rs->Fields(u"Name").Value().toText(), u"0.75");
    EXPECT_EQ(rs->Fields(u"Code").Value().toText(), u"1.5");
    EXPECT_EQ(rs->Fields(u"Qty").Value().kind(), Variant::Kind::Long);
    EXPECT_EQ(rs->Fields(u"Qty").Value().toText(), u"42");
    EXPECT_EQ(rs->Fields(u"Ok").Value().toText(), u"True");
    rs->Close();
    db->Close();
}

TEST_F(Writing, EditMakesARowShorterOrLongerAndKeepsTheOthers) {
    const fs::path path = sample();
    auto db = DBEngine::Instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(u"Sample", dbOpenDynaset);
    for (int i = 0; i < 300; ++i) {  // several pages
        rs->AddNew();
        rs->Collect(u"Qty") = Variant(i);
        rs->Collect(u"Name") = Variant(u"");
        rs->Update();
    }
    rs->MoveFirst();
    rs->Edit();
    rs->Collect(u"Name") = Variant(u"Cake!");
    rs->Update();
    rs->Edit();
    rs->Collect(u"Name") = Variant::null();
    rs->Update();
    rs->Close();
    db->Close();

    auto again = DBEngine::Instance().OpenDatabase(path);
    auto check = again->OpenRecordset(u"SELECT * FROM Sample ORDER BY Qty", dbOpenSnapshot);
    check->MoveLast();
    EXPECT_EQ(check->RecordCount(), 301);
    check->MoveFirst();
    EXPECT_EQ(check->Fields(u"Qty").Value().toText(), u"0");
    EXPECT_EQ(check->Fields(u"Name").Value().toText(), u"");
    again->Close();
}

// A row that grows twice moves twice; a recordset opened between the two moves holds the row's
// first new place and must still find it after the second.
TEST_F(Writing, ARowMovedTwiceStaysReadableToEveryRecordset) {
    auto db = create();
    auto td = db->CreateTableDef(u"Notes");
    auto text = td->CreateField(u"Text", type::dbText, 255);
    text->AllowZeroLength(true);
    td->Fields().Append(text);
    td->Fields().Append(td->CreateField(u"N", type::dbLong, 4));
    db->TableDefs().Append(td);
    auto writer = db->OpenRecordset(u"Notes", dbOpenDynaset);
    for (int i = 0; i < 60; ++i) {  // full pages, so that a row that grows must move
        writer->AddNew();
        writer->Collect(u"Text") = Variant(std::u16string(30, u'a'));
        writer->Collect(u"N") = Variant(i);
        writer->Update();
    }
    writer->MoveFirst();
    writer->Edit();
    writer->Collect(u"Text") = Variant(std::u16string(100, u'b'));
    writer->Update();
    auto reader = db->OpenRecordset(u"Notes", dbOpenDynaset);  // lists the row at its new place
    for (int i = 0; i < 60; ++i) {  // fill the row's new page too
        writer->AddNew();
        writer->Collect(u"Text") = Variant(std::u16string(100, u'c'));
        writer->Collect(u"N") = Variant(100 + i);
        writer->Update();
    }
    writer->Edit();
    writer->Collect(u"Text") = Variant(std::u16string(255, u'd'));
    writer->Update();
    long found = 0;
    for (; !reader->EOF_(); reader->MoveNext())
        if (reader->Fields(u"N").Value().toText() == u"0") {
            EXPECT_EQ(reader->Fields(u"Text").Value().toText(), std::u16string(255, u'd'));
            ++found;
        }
    EXPECT_EQ(found, 1);
    auto fresh = db->OpenRecordset(u"SELECT * FROM Notes ORDER BY N", dbOpenSnapshot);
    EXPECT_EQ(fresh->RecordCount(), 120);
    EXPECT_EQ(fresh->Fields(u"Text").Value().toText(), std::u16string(255, u'd'));
    db->Close();
}

TEST_F(Writing, RefusesATextLongerThanItsColumn) {
    expectRefusal(3163, [](Recordset& rs) {
        rs.AddNew();
        rs.Collect(u"Name") = Variant(u"Quiche");
        rs.Update();
    });
}

// Update takes the row's texts without copying them; a refusal must still leave the edit as it
// was, so that the row can be mended and saved with every value it was given.
TEST_F(Writing, ARefusedUpdateKeepsEveryValueOfTheEdit) {
    const fs::path path = sample();
    auto db = DBEngine::Instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(u"Sample", dbOpenDynaset);
    rs->AddNew();
    rs->Collect(u"Name") = Variant(u"Tart");  // taken before the refusal of Code
    rs->Collect(u"Code") = Variant(u"TOOLONG");
    rs->Collect(u"Qty") = Variant(u"12");
    EXPECT_EQ(failureNumber([&] { rs->Update(); }), 3163);
    EXPECT_EQ(Variant(rs->Collect(u"Name")).toText(), u"Tart");
    EXPECT_EQ(Variant(rs->Collect(u"Code")).toText(), u"TOOLONG");
    rs->Collect(u"Code") = Variant(u"T1");
    rs->Update();
    rs->MoveLast();
    EXPECT_EQ(rs->Fields(u"Name").Value().toText(), u"Tart");
    EXPECT_EQ(rs->Fields(u"Code").Value().toText(), u"T1");
    EXPECT_EQ(rs->Fields(u"Qty").Value().toText(), u"12");
    rs->Edit();  // and a refused change of a stored row
    rs->Collect(u"Name") = Variant(u"Flan");
    rs->Collect(u"Qty") = Variant(u"many");
    EXPECT_EQ(failureNumber([&] { rs->Update(); }), 3421);
    EXPECT_EQ(Variant(rs->Collect(u"Name")).toText(), u"Flan");
    EXPECT_EQ(rs->Fields(u"Name").Value().toText(), u"Tart");
    rs->CancelUpdate();
    rs->Close();
    db->Close();
}

TEST_F(Writing, RefusesAZeroLengthTextWhereNotAllowed) {
    expectRefusal(3315, [](Recordset& rs) {
        rs.AddNew();
        rs.Collect(u"Code") = Variant(u"");
        rs.Update();
    });
}

TEST_F(Writing, RefusesAValueItCannotConvert) {
    expectRefusal(3421, [](Recordset& rs) {
        rs.AddNew();
        rs.Collect(u"Qty") = Variant(u"a pinch");
        rs.Update();
    });
}

// A character code page 1252 lacks is stored as Windows stores it: its best fit, or "?".
TEST_F(Writing, StoresCharactersOutsideTheCodePageByTheirBestFit) {
    const fs::path path = sample();
    {
        auto db = DBEngine::Instance().OpenDatabase(path);
        auto rs = db->OpenRecordset(u"Sample", dbOpenDynaset);
        rs->AddNew();
        rs->Collect(u"Name") = Variant(u"\u0105\u2264\u4E2D\U0001F370");  // five code units, four characters
        rs->Update();
        db->Close();
    }
    auto db = DBEngine::Instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(u"Sample", dbOpenSnapshot);
    rs->MoveLast();
    EXPECT_EQ(rs->Fields(u"Name").Value().toText(), u"a=??");
    db->Close();
}

TEST_F(Writing, RefusesUpdateWithNothingBegun) {
    expectRefusal(3020, [](Recordset& rs) { rs.Update(); });
    expectRefusal(3020, [](Recordset& rs) { rs.Collect(u"Qty") = Variant(1); });
}

TEST_F(Writing, RefusesASecondTableOfTheSameName) {
    const fs::path path = sample();
    const std::string before = test::fileBytes(path);
    auto db = DBEngine::Instance().OpenDatabase(path);
    auto td = db->CreateTableDef(u"sample");
    td->Fields().Append(td->CreateField(u"X", type::dbLong, 4));
    EXPECT_EQ(failureNumber([&] { db->TableDefs().Append(td); }), 3010);
    EXPECT_EQ(failureNumber([&] { td->Fields().Append(td->CreateField(u"x", type::dbText, 5)); }), 3191);
    db->Close();
    EXPECT_EQ(test::fileBytes(path), before);
}

TEST_F(Writing, CreateDatabaseRefusesAnExistingFileAndLeavesIt) {
    const fs::path path = sample();
    const std::string before = test::fileBytes(path);
    EXPECT_EQ(failureNumber([&] { create("sample.mdb"); }), 3204);
    EXPECT_EQ(test::fileBytes(path), before);
}

TEST_F(Writing, CreateDatabaseRefusesBadPlacesAndArguments) {
    EXPECT_EQ(failureNumber([&] { create("no-such-folder/new.mdb"); }), 3044);
    EXPECT_FALSE(fs::exists(dir_ / "no-such-folder"));
    EXPECT_EQ(failureNumber([&] { DBEngine::Instance().CreateDatabase(dir_ / "a.mdb", dbLangGeneral, 64); }), 3001);
    EXPECT_EQ(failureNumber([&] { DBEngine::Instance().CreateDatabase(dir_ / "a.mdb", u";LANGID=0x0419;CP=1251;COUNTRY=0", 32); }), 3001);
    EXPECT_FALSE(fs::exists(dir_ / "a.mdb"));
    if (fs::exists("/sys")) {
        EXPECT_EQ(failureNumber([&] { DBEngine::Instance().CreateDatabase("/sys/zestrel-test.mdb", dbLangGeneral, 32); }), 3051);
    }
}

TEST_F(Writing, RefusesRowsForAUserTableWithItsOwnIndexes) {
    ZESTREL_REQUIRE_SHARED();
    const fs::path path = dir_ / "indexed.mdb";
    test::copyFixtureFile(test::jetFixturesDir() / "indexTestV1997.mdb", path);
    const std::string before = test::fileBytes(path);
    auto db = DBEngine::Instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(u"Table1", dbOpenDynaset);
    rs->AddNew();
    EXPECT_EQ(failureNumber([&] { rs->Update(); }), 3251);
    db->Close();
    EXPECT_EQ(test::fileBytes(path), before);
}

TEST_F(Writing, SnapshotsAreReadOnly) {
    const fs::path path = sample();
    auto db = DBEngine::Instance().OpenDatabase(path);
    auto rs = db->OpenRecordset(u"Sample", dbOpenSnapshot);
    EXPECT_EQ(failureNumber([&] { rs->AddNew(); }), 3027);
    EXPECT_EQ(failureNumber([&] { rs->Edit(); }), 3027);
    db->Close();
}

TEST_F(Writing, CollectTakesAnotherRecordsetsCurrentValue) {
    const fs::path path = sample();
    auto db = DBEngine::Instance().OpenDatabase(path);
    auto source = db->OpenRecordset(u"Sample", dbOpenSnapshot);
    auto target = db->OpenRecordset(u"Sample", dbOpenDynaset);
    target->AddNew();
    target->Collect(u"Name") = source->Fields(u"Name");
    target->Collect(u"Qty") = source->Fields(u"Qty");
    target->Update();
    target->MoveLast();
    EXPECT_EQ(target->Fields(u"Name").Value().toText(), u"Pie");
    EXPECT_EQ(target->Fields(u"Qty").Value().toText(), u"7");
    db->Close();
}

// Row after row of the same column: a value converted once may be stored again, but only for the
// very same value (0 and -0 differ), and a refused value leaves nothing to reuse.
TEST_F(Writing, EachRowStoresTheValueItWasGivenWhenValuesRepeat) {
    auto db = create();
    auto td = db->CreateTableDef(u"R");
    auto text = td->CreateField(u"Txt", type::dbText, 20);
    text->AllowZeroLength(true);
    td->Fields().Append(text);
    td->Fields().Append(td->CreateField(u"Num", type::dbDouble, 8));
    td->Fields().Append(td->CreateField(u"Small", type::dbInteger, 2));
    db->TableDefs().Append(td);
    struct Row {
        Variant txt, num, small;
        bool refused;
    };
    const std::vector<Row> rows{
        {Variant(0.0), Variant(0.0), Variant(std::int32_t{5}), false},
        {Variant(-0.0), Variant(-0.0), Variant(std::int32_t{5}), false},
        {Variant(-0.0), Variant(0.0), Variant(std::int32_t{70000}), true},  // too large for Small
        {Variant(std::int32_t{5}), Variant(std::int32_t{5}), Variant(std::int32_t{70000}), true},
        {Variant(std::int32_t{5}), Variant(1.5f), Variant(std::int32_t{6}), false},
        {Variant(u""), Variant(1.5f), Variant(std::int16_t{6}), false},
        {Variant(u""), Variant(1.5), Variant(std::int16_t{6}), false},
    };
    auto rs = db->OpenRecordset(u"R", dbOpenDynaset);
    for (const Row& row : rows) {
        rs->AddNew();
        rs->Collect(u"Txt") = row.txt;
        rs->Collect(u"Num") = row.num;
        rs->Collect(u"Small") = row.small;
        EXPECT_EQ(failureNumber([&] { rs->Update(); }), row.refused ? 3349 : 0);
        if (row.refused) rs->CancelUpdate();
    }
    const std::vector<std::u16string> texts{u"0", u"-0", u"5", u"", u""};
    const std::vector<double> numbers{0.0, -0.0, 1.5, 1.5, 1.5};
    const std::vector<std::u16string> smalls{u"5", u"5", u"6", u"6", u"6"};
    rs->MoveFirst();
    for (std::size_t i = 0; i < texts.size(); ++i, rs->MoveNext()) {
        ASSERT_FALSE(rs->EOF_());
        EXPECT_EQ(rs->Fields(u"Txt").Value().toText(), texts[i]) << "row " << i;
        const double number = rs->Fields(u"Num").Value().toDouble();
        EXPECT_EQ(number, numbers[i]) << "row " << i;
        EXPECT_EQ(std::signbit(number), std::signbit(numbers[i])) << "row " << i;
        EXPECT_EQ(rs->Fields(u"Small").Value().toText(), smalls[i]) << "row " << i;
    }
    EXPECT_TRUE(rs->EOF_());
    db->Close();
}

// Byte, Integer and Long values read as whole numbers, and order as their values do: Null first,
// negatives before positives, whether the rows lie in that order (Ordered) or not (the others).
TEST_F(Writing, WholeNumbersReadAndSortAsTheirValues) {
    auto db = create();
    auto td = db->CreateTableDef(u"W");
    auto byte = td->CreateField(u"B", type::dbByte, 1);
    EXPECT_EQ(failureNumber([&] { byte->wholeNumber(); }), 3219) << "a field outside a recordset has no value";
    td->Fields().Append(byte);
    td->Fields().Append(td->CreateField(u"I", type::dbInteger, 2));
    td->Fields().Append(td->CreateField(u"L", type::dbLong, 4));
    td->Fields().Append(td->CreateField(u"Ordered", type::dbLong, 4));
    td->Fields().Append(td->CreateField(u"Signs", type::dbInteger, 2));
    td->Fields().Append(td->CreateField(u"D", type::dbDouble, 8));
    db->TableDefs().Append(td);
    using Column = std::vector<std::optional<std::int64_t>>;
    const std::map<std::u16string, Column> columns{
        {u"B", {0, 1, 255, std::nullopt, 7}},
        {u"I", {-32768, -1, 32767, 0, std::nullopt}},
        {u"L", {-2147483648LL, -1, 2147483647, 0, -2}},
        {u"Ordered", {std::nullopt, -5, -1, 0, 7}},
        {u"Signs", {std::nullopt, 0, 1, 5, -3}},  // in order but for the last, which a sign lost would hide
    };
    auto rs = db->OpenRecordset(u"W", dbOpenDynaset);
    for (std::size_t row = 0; row < 5; ++row) {
        rs->AddNew();
        for (const auto& [name, values] : columns)
            if (values[row]) rs->Collect(name) = Variant(static_cast<double>(*values[row]));
        rs->Collect(u"D") = Variant(2.0);
        rs->Update();
    }
    rs->Close();
    for (const auto& [name, values] : columns) {
        Column expected = values;
        std::sort(expected.begin(), expected.end());  // an empty optional first, as Null sorts
        auto sorted = db->OpenRecordset(u"SELECT * FROM W ORDER BY " + name, dbOpenSnapshot);
        Column read;
        for (; !sorted->EOF_(); sorted->MoveNext()) {
            read.push_back(sorted->Fields(name).wholeNumber());
            const Variant value = sorted->Fields(name).Value();
            EXPECT_EQ(read.back().has_value(), !value.isNull()) << text::toUtf8(name);
            if (read.back()) {
                EXPECT_EQ(static_cast<double>(*read.back()), value.toDouble()) << text::toUtf8(name);
            }
            EXPECT_FALSE(sorted->Fields(u"D").wholeNumber()) << "a Double is no whole-number column";
        }
        EXPECT_EQ(read, expected) << text::toUtf8(name);
    }
    db->Close();
}

}  // namespace
}  // namespace zestrel::dao
