// Recordsets that read rows where they live: a change through one recordset
// shows in every other recordset of the same open file, a row that moved is
// still found, ORDER BY sorts nulls first and keeps ties in stored order, and
// a table larger than the page cache is written and read back whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <optional>
#include <string>
#include <vector>

#include "store/dao/db_engine.h"
#include "store/dao/sort_order.h"
#include "store/jet/sort_key.h"
#include "text/utf8.h"
#include "support/fixtures.h"

namespace zestrel::dao {
namespace {

namespace fs = std::filesystem;

class StreamingRecordsets : public ::testing::Test {
protected:
    void SetUp() override { dir_ = test::makeTempDir("streaming"); }
    void TearDown() override { fs::remove_all(dir_); }

    // A new database with table T: Name Text(255), Seq Long, Note Memo.
    std::shared_ptr<Database> create() {
        auto db = DBEngine::Instance().CreateDatabase(dir_ / "t.mdb", dbLangGeneral, dbVersion30);
        auto td = db->CreateTableDef(u"T");
        td->Fields().Append(td->CreateField(u"Name", type::dbText, 255));
        td->Fields().Append(td->CreateField(u"Seq", type::dbLong, 4));
        td->Fields().Append(td->CreateField(u"Note", type::dbMemo, 0));
        db->TableDefs().Append(td);
        return db;
    }

    static void add(Recordset& rs, const Variant& name, int seq, const std::u16string& note = u"") {
        rs.AddNew();
        rs.Collect(u"Name") = name;
        rs.Collect(u"Seq") = Variant(seq);
        if (!note.empty()) rs.Collect(u"Note") = Variant(note);
        rs.Update();
    }

    fs::path dir_;
};

TEST_F(StreamingRecordsets, AnUpdateShowsInEveryRecordsetOfTheFileEvenWhenTheRowMoves) {
    auto db = create();
    auto writer = db->OpenRecordset(u"T", dbOpenDynaset);
    for (int i = 0; i < 20; ++i) add(*writer, Variant(std::u16string(90, u'a')), i);  // fills most of a page
    auto before = db->OpenRecordset(u"T", dbOpenSnapshot);
    auto sorted = db->OpenRecordset(u"SELECT * FROM T ORDER BY Seq", dbOpenDynaset);
    EXPECT_EQ(before->Fields(u"Name").Value().toText(), std::u16string(90, u'a'));

    writer->MoveFirst();
    writer->Edit();
    const std::u16string grown(250, u'g');
    writer->Collect(u"Name") = Variant(grown);  // no room left on its page: the row moves
    writer->Update();
    EXPECT_EQ(writer->Fields(u"Name").Value().toText(), grown) << "reading the row after Update";

    before->MoveFirst();
    EXPECT_EQ(before->Fields(u"Name").Value().toText(), grown);
    EXPECT_EQ(sorted->Fields(u"Name").Value().toText(), grown) << "the recordset standing on the row";
    sorted->MoveLast();
    EXPECT_EQ(sorted->RecordCount(), 20);

    auto after = db->OpenRecordset(u"T", dbOpenSnapshot);
    after->MoveLast();
    EXPECT_EQ(after->RecordCount(), 20) << "the moved row is listed once";
    int grownRows = 0;
    for (after->MoveFirst(); !after->EOF_(); after->MoveNext())
        grownRows += after->Fields(u"Name").Value().toText() == grown;
    EXPECT_EQ(grownRows, 1);
    db->Close();
}

// A recordset that has read the row it stands on reads it again, changed, once another recordset
// writes it: also where the row was read in place from the view of a file opened only to read,
// which shows what is written, and where it was copied (Windows).
TEST_F(StreamingRecordsets, ARowReadInPlaceReadsChangedOnceAnotherRecordsetWritesIt) {
    {
        auto db = create();
        auto rs = db->OpenRecordset(u"T", dbOpenDynaset);
        for (int i = 0; i < 20; ++i) add(*rs, Variant(std::u16string(90, u'a')), i, u"note " + std::u16string(400, u'n'));
        db->Close();
    }
    auto db = DBEngine::Instance().OpenDatabase(dir_ / "t.mdb");
    auto reader = db->OpenRecordset(u"T", dbOpenSnapshot);
    EXPECT_EQ(reader->Fields(u"Name").Value().toText(), std::u16string(90, u'a'));

    auto writer = db->OpenRecordset(u"T", dbOpenDynaset);
    writer->Edit();
    const std::u16string grown(250, u'g');
    writer->Collect(u"Name") = Variant(grown);  // no room left on its page: the row moves
    writer->Collect(u"Seq") = Variant(-7);
    writer->Update();

    EXPECT_EQ(reader->Fields(u"Name").Value().toText(), grown) << "the recordset still standing on the row";
    EXPECT_EQ(reader->Fields(u"Seq").Value().toDouble(), -7);
    EXPECT_EQ(reader->Fields(u"Note").Value().toText(), u"note " + std::u16string(400, u'n'));
    reader->MoveNext();
    EXPECT_EQ(reader->Fields(u"Seq").Value().toDouble(), 1);
    db->Close();
}

TEST_F(StreamingRecordsets, OrderByPutsNullsFirstAndKeepsTiesInStoredOrder) {
    auto db = create();
    auto rs = db->OpenRecordset(u"T", dbOpenDynaset);
    const std::vector<std::u16string> names{u"pear", u"", u"Apple", u"\u00E9clair", u"apple", u"eclair", u"10", u"9"};
    int seq = 0;
    for (const auto& name : names) add(*rs, name.empty() ? Variant::null() : Variant(name), seq++);
    add(*rs, Variant::null(), seq++);
    rs->Close();

    auto byName = db->OpenRecordset(u"SELECT * FROM T ORDER BY Name", dbOpenDynaset);
    std::vector<int> order;
    for (; !byName->EOF_(); byName->MoveNext()) order.push_back(static_cast<int>(byName->Fields(u"Seq").Value().toDouble()));
    // nulls (1, 8) in stored order; "10" before "9"; Apple/apple tie in stored order; eclair before éclair
    EXPECT_EQ(order, (std::vector<int>{1, 8, 6, 7, 2, 4, 5, 3, 0}));
    db->Close();
}

// Rows stored in key order are taken as they lie; one row out of order at the very end
// still sorts the whole table.
TEST_F(StreamingRecordsets, OrderByIsRightWhetherTheRowsLieInOrderOrNot) {
    auto db = create();
    auto rs = db->OpenRecordset(u"T", dbOpenDynaset);
    for (int i = 0; i < 500; ++i) add(*rs, Variant(i / 2), i);  // ties two by two, in order
    const auto seqsByName = [&] {
        auto sorted = db->OpenRecordset(u"SELECT * FROM T ORDER BY Name", dbOpenSnapshot);
        std::vector<int> seqs;
        for (; !sorted->EOF_(); sorted->MoveNext()) seqs.push_back(static_cast<int>(sorted->Fields(u"Seq").Value().toDouble()));
        return seqs;
    };
    // Names are texts: "0" "0" "1" "1" "10" ... in the General order, not by number.
    std::vector<int> expected(500);
    std::iota(expected.begin(), expected.end(), 0);
    std::stable_sort(expected.begin(), expected.end(), [](int a, int b) {
        return jet::compareGeneral(text::fromUtf8(std::to_string(a / 2)), text::fromUtf8(std::to_string(b / 2))) < 0;
    });
    EXPECT_EQ(seqsByName(), expected);

    auto byNumber = db->OpenRecordset(u"SELECT * FROM T ORDER BY Seq", dbOpenSnapshot);
    for (int i = 0; !byNumber->EOF_(); byNumber->MoveNext(), ++i)
        ASSERT_EQ(byNumber->Fields(u"Seq").Value().toDouble(), i);
    add(*rs, Variant(u" "), 500);  // a blank sorts before every digit, and lies last
    const auto withLast = seqsByName();
    ASSERT_EQ(withLast.size(), 501u);
    EXPECT_EQ(withLast.front(), 500);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), withLast.begin() + 1));
    db->Close();
}

// Texts of every length around the sixteen key bytes a sort compares first, many of them
// equal, some equal but for accents or trailing letters, in no order: the order is the General
// order, ties in stored order.
TEST_F(StreamingRecordsets, OrderByTextsOfAnyLengthIsTheGeneralOrderWithTiesInStoredOrder) {
    auto db = create();
    auto rs = db->OpenRecordset(u"T", dbOpenDynaset);
    std::mt19937 random(24);
    const std::u16string letters = u"aAb\u00E9e0 ";
    std::vector<std::u16string> names;
    const auto randomText = [&](std::size_t length) {
        std::u16string text(length, u'a');
        for (auto& c : text) c = letters[random() % letters.size()];
        return text;
    };
    for (int i = 0; i < 400; ++i) {
        if (i % 5 == 0 && i > 0) names.push_back(names[random() % names.size()]);  // ties
        else if (i % 2 == 0) names.push_back(randomText(random() % 22));
        else names.push_back(u"abeabeabeabeabea" + randomText(random() % 4));  // alike in the first 16 bytes
    }
    for (int i = 0; i < static_cast<int>(names.size()); ++i)
        add(*rs, names[i].empty() ? Variant::null() : Variant(names[i]), i);
    rs->Close();
    std::vector<int> expected(names.size());
    std::iota(expected.begin(), expected.end(), 0);
    std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
        if (names[a].empty() || names[b].empty()) return names[a].empty() && !names[b].empty();
        return jet::compareGeneral(names[a], names[b]) < 0;
    });
    // Sorted whole in memory, then in parts of 37 rows written out and merged: the same order.
    const fs::path spillFolder = dir_ / "spill";
    fs::create_directory(spillFolder);
    for (const bool inParts : {false, true}) {
        if (inParts) db->spillSortsTo({spillFolder, 37});
        auto sorted = db->OpenRecordset(u"SELECT * FROM T ORDER BY Name", dbOpenSnapshot);
        db->spillSortsTo({});
        std::vector<int> order;
        for (; !sorted->EOF_(); sorted->MoveNext())
            order.push_back(static_cast<int>(sorted->Fields(u"Seq").Value().toDouble()));
        EXPECT_EQ(order, expected) << (inParts ? "in parts" : "in memory");
        EXPECT_TRUE(fs::is_empty(spillFolder)) << "the parts are removed once merged";
    }
    db->Close();
}

// Where a database's sorts spill is its own setting: a second database open on the same file (a
// second run inside the first one's wait for events) neither takes it nor clears it.
TEST_F(StreamingRecordsets, WhereSortsSpillIsASettingOfOneOpenDatabase) {
    {
        auto db = create();
        auto rs = db->OpenRecordset(u"T", dbOpenDynaset);
        for (int i = 0; i < 100; ++i) add(*rs, Variant(text::fromUtf8(std::to_string((i * 37) % 100))), i);
        rs->Close();
        db->Close();
    }
    const fs::path gone = dir_ / "no such folder";
    auto first = DBEngine::Instance().OpenDatabase(dir_ / "t.mdb");
    first->spillSortsTo({gone, 10});
    auto second = DBEngine::Instance().OpenDatabase(dir_ / "t.mdb");
    EXPECT_NO_THROW(second->OpenRecordset(u"SELECT * FROM T ORDER BY Name", dbOpenSnapshot))
        << "the second database spilled where the first one was told to";
    second->spillSortsTo({dir_, 10});
    second->Close();
    EXPECT_ANY_THROW(first->OpenRecordset(u"SELECT * FROM T ORDER BY Name", dbOpenSnapshot))
        << "the first database's setting was lost to the second one's";
    first->Close();
    for (const auto& entry : fs::directory_iterator(dir_))
        EXPECT_EQ(entry.path().filename(), "t.mdb") << "a sort left " << entry.path();
}

TEST_F(StreamingRecordsets, ATableLargerThanThePageCacheIsWrittenAndReadBackWhole) {
    constexpr int kRows = 3000;
    const auto noteOf = [](int i) {
        std::u16string note(3000, static_cast<char16_t>(u'a' + i % 26));
        note += text::fromUtf8(std::to_string(i));
        return note;
    };
    {
        auto db = create();
        auto rs = db->OpenRecordset(u"T", dbOpenDynaset);
        for (int i = 0; i < kRows; ++i) add(*rs, Variant(text::fromUtf8(std::to_string((i * 7919) % kRows))), i, noteOf(i));
        rs->Close();
        db->Close();
    }
    ASSERT_GT(fs::file_size(dir_ / "t.mdb"), jet::kCacheBytes);
    auto db = DBEngine::Instance().OpenDatabase(dir_ / "t.mdb");
    auto rs = db->OpenRecordset(u"SELECT * FROM T ORDER BY Name", dbOpenSnapshot);
    rs->MoveLast();
    ASSERT_EQ(rs->RecordCount(), kRows);
    std::u16string last;
    int rows = 0;
    for (rs->MoveFirst(); !rs->EOF_(); rs->MoveNext(), ++rows) {
        const std::u16string name = rs->Fields(u"Name").Value().toText();
        ASSERT_LE(jet::compareGeneral(last, name), 0) << text::toUtf8(last) << " before " << text::toUtf8(name);
        last = name;
        const int seq = static_cast<int>(rs->Fields(u"Seq").Value().toDouble());
        ASSERT_EQ(rs->Fields(u"Note").Value().toText(), noteOf(seq)) << "row " << seq;
    }
    EXPECT_EQ(rows, kRows);
    db->Close();
}

// A number column's order, whether its rows lie in that order already (found by one walk) or not
// (sorted): Null first, negatives before positives, ties in stored order.
class NumberOrder : public StreamingRecordsets, public ::testing::WithParamInterface<std::vector<std::optional<int>>> {};

TEST_P(NumberOrder, IsNullFirstThenByValueWithTiesInStoredOrder) {
    const auto& seqs = GetParam();
    auto db = create();
    auto rs = db->OpenRecordset(u"T", dbOpenDynaset);
    for (std::size_t i = 0; i < seqs.size(); ++i) {
        rs->AddNew();
        rs->Collect(u"Name") = Variant(text::fromUtf8(std::to_string(i)));
        rs->Collect(u"Seq") = seqs[i] ? Variant(*seqs[i]) : Variant::null();
        rs->Update();
    }
    std::vector<std::size_t> expected(seqs.size());
    std::iota(expected.begin(), expected.end(), std::size_t{0});
    std::stable_sort(expected.begin(), expected.end(), [&](std::size_t a, std::size_t b) {
        if (!seqs[a] || !seqs[b]) return !seqs[a] && seqs[b];
        return *seqs[a] < *seqs[b];
    });
    auto sorted = db->OpenRecordset(u"SELECT * FROM T ORDER BY Seq", dbOpenSnapshot);
    std::vector<std::size_t> got;
    for (; !sorted->EOF_(); sorted->MoveNext()) got.push_back(std::stoul(text::toUtf8(sorted->Fields(u"Name").Value().toText())));
    EXPECT_EQ(got, expected);
    db->Close();
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, NumberOrder,
    ::testing::Values(std::vector<std::optional<int>>{std::nullopt, std::nullopt, -5, -1, 0, 0, 3, 3, 70000},
                      std::vector<std::optional<int>>{-5, -1, 0, 3, std::nullopt},
                      std::vector<std::optional<int>>{1, 2, 3, 4, 2},
                      std::vector<std::optional<int>>{9, 8, 7, -7},
                      std::vector<std::optional<int>>{0, -2147483647 - 1, 2147483647, 0}));

}  // namespace
}  // namespace zestrel::dao
