// Setting a column to another field's text as stored (takeStoredText): taken exactly where the
// value would be stored unchanged, refused (setting nothing) everywhere else, and a row written so
// reads back as the same row written through the value.
#include <gtest/gtest.h>

#include "store/dao/db_engine.h"
#include "store/dao/stored_text_taker.h"
#include "store/jet/failure.h"
#include "support/fixtures.h"
#include "text/code_page.h"
#include "text/utf8.h"

namespace zestrel::dao {
namespace {

namespace fs = std::filesystem;

// Source columns of table S, each holding one value in its only row.
struct CopyCase {
    const char* name;
    const char16_t* sourceColumn;
    Variant sourceValue;
    const char16_t* targetColumn;
    std::size_t maxCharacters;
    bool taken;
};

void PrintTo(const CopyCase& c, std::ostream* out) { *out << c.name; }

std::u16string repeated(const std::u16string& piece, std::size_t length) {
    std::u16string text;
    while (text.size() < length) text += piece;
    return text.substr(0, length);
}

class StoredTextCopy : public ::testing::TestWithParam<CopyCase> {
protected:
    void SetUp() override { dir_ = test::makeTempDir("stored-text"); }
    void TearDown() override {
        if (db_ && db_->isOpen()) db_->Close();
        test::checkAndRemoveTempDir(dir_);
    }

    // Table S (Short Text(10), Long Text(255), Note Memo, Count Long) with one row holding `value`
    // in `column`; table T (Code Text(5) without zero-length texts, Line Text(255) with them, Body
    // Memo with them, Qty Long).
    void makeDatabase(const char16_t* column, const Variant& value) {
        db_ = DBEngine::Instance().CreateDatabase(dir_ / "copy.mdb", dbLangGeneral, dbVersion30);
        auto source = db_->CreateTableDef(u"S");
        source->Fields().Append(source->CreateField(u"Short", type::dbText, 10));
        source->Fields().Append(source->CreateField(u"Long", type::dbText, 255));
        source->Fields().Append(source->CreateField(u"Note", type::dbMemo));
        source->Fields().Append(source->CreateField(u"Count", type::dbLong, 4));
        for (const auto& field : source->Fields().items()) field->AllowZeroLength(true);
        db_->TableDefs().Append(source);
        auto target = db_->CreateTableDef(u"T");
        target->Fields().Append(target->CreateField(u"Code", type::dbText, 5));
        auto line = target->CreateField(u"Line", type::dbText, 255);
        line->AllowZeroLength(true);
        target->Fields().Append(line);
        auto body = target->CreateField(u"Body", type::dbMemo);
        body->AllowZeroLength(true);
        target->Fields().Append(body);
        target->Fields().Append(target->CreateField(u"Qty", type::dbLong, 4));
        db_->TableDefs().Append(target);
        auto rs = db_->OpenRecordset(u"S", dbOpenDynaset);
        rs->AddNew();
        rs->Collect(column) = value;
        rs->Update();
        rs->Close();
    }

    fs::path dir_;
    std::shared_ptr<Database> db_;
};

TEST_P(StoredTextCopy, IsTakenOnlyWhereTheValueWouldBeStoredUnchanged) {
    const CopyCase& c = GetParam();
    makeDatabase(c.sourceColumn, c.sourceValue);
    auto source = db_->OpenRecordset(u"S", dbOpenSnapshot);
    auto target = db_->OpenRecordset(u"T", dbOpenDynaset);
    target->AddNew();
    auto column = target->Collect(c.targetColumn);
    EXPECT_EQ(column.takeStoredText(source->Fields(c.sourceColumn), c.maxCharacters), c.taken);
    if (!c.taken) {
        EXPECT_TRUE(static_cast<Variant>(column).isEmpty()) << "a refused copy sets nothing";
        target->CancelUpdate();
        return;
    }
    const Variant expected = source->Fields(c.sourceColumn).Value();
    EXPECT_EQ(static_cast<Variant>(column), expected) << "the edit reads back the text";
    target->Update();
    // The same value assigned as a value, in a second row: both rows read the same.
    target->AddNew();
    target->Collect(c.targetColumn) = expected;
    target->Update();
    target->MoveFirst();
    const Variant copied = target->Fields(c.targetColumn).Value();
    target->MoveNext();
    EXPECT_EQ(copied, target->Fields(c.targetColumn).Value());
    EXPECT_EQ(copied, expected);
}

const std::u16string kLongMemo = repeated(u"simmer caf\u00E9 \u20AC ", 5000);

INSTANTIATE_TEST_SUITE_P(
    Cases, StoredTextCopy,
    ::testing::Values(
        CopyCase{"TextWithCodePageCharacters", u"Long", Variant(u"caf\u00E9 \u20AC \u201Cpie\u201D"), u"Line", 255,
                 true},
        CopyCase{"TheCodePagesUndefinedBytes", u"Long", Variant(u"\u0081\u008D\u008F\u0090\u009D"), u"Line", 255, true},
        CopyCase{"AsLongAsTheLimit", u"Short", Variant(u"abcde"), u"Line", 5, true},
        CopyCase{"LongerThanTheLimit", u"Short", Variant(u"abcdef"), u"Line", 5, false},
        CopyCase{"AsLongAsTheColumn", u"Short", Variant(u"abcde"), u"Code", 255, true},
        CopyCase{"LongerThanTheColumn", u"Short", Variant(u"abcdef"), u"Code", 255, false},
        CopyCase{"ZeroLengthWhereAllowed", u"Short", Variant(u""), u"Line", 255, true},
        CopyCase{"ZeroLengthWhereNotAllowed", u"Short", Variant(u""), u"Code", 255, false},
        CopyCase{"Null", u"Short", Variant::null(), u"Line", 255, false},
        CopyCase{"ANumber", u"Count", Variant(std::int32_t{42}), u"Line", 255, false},
        CopyCase{"ShortMemoIntoText", u"Note", Variant(u"a short note"), u"Line", 255, true},
        CopyCase{"MemoOfManyPagesIntoMemo", u"Note", Variant(kLongMemo), u"Body", SIZE_MAX, true},
        CopyCase{"MemoOfManyPagesIntoText", u"Note", Variant(kLongMemo), u"Line", 255, false},
        CopyCase{"TextIntoMemo", u"Long", Variant(u"stir well"), u"Body", SIZE_MAX, true},
        CopyCase{"TextIntoANumber", u"Short", Variant(u"12"), u"Qty", SIZE_MAX, false}),
    [](const ::testing::TestParamInfo<CopyCase>& param) { return std::string(param.param.name); });

TEST_F(StoredTextCopy, AValueSetAfterwardsTakesThePlaceOfTheStoredText) {
    makeDatabase(u"Long", Variant(u"first"));
    auto source = db_->OpenRecordset(u"S", dbOpenSnapshot);
    auto target = db_->OpenRecordset(u"T", dbOpenDynaset);
    target->AddNew();
    ASSERT_TRUE(target->Collect(u"Line").takeStoredText(source->Fields(u"Long"), 255));
    target->Collect(u"Line") = Variant(u"second");
    target->Update();
    target->MoveFirst();
    EXPECT_EQ(target->Fields(u"Line").Value().toText(), u"second");
    // A new edit starts without the earlier one's stored texts.
    target->AddNew();
    target->Collect(u"Code") = Variant(u"x");
    target->Update();
    target->MoveLast();
    EXPECT_TRUE(target->Fields(u"Line").Value().isNull());
}

TEST_F(StoredTextCopy, ARefusalLeavesTheTextTakenBefore) {
    makeDatabase(u"Long", Variant(u"first"));
    auto source = db_->OpenRecordset(u"S", dbOpenSnapshot);
    auto target = db_->OpenRecordset(u"T", dbOpenDynaset);
    target->AddNew();
    auto line = target->Collect(u"Line");
    ASSERT_TRUE(line.takeStoredText(source->Fields(u"Long"), 255));
    EXPECT_FALSE(line.takeStoredText(source->Fields(u"Long"), 3)) << "longer than 3 characters";
    EXPECT_EQ(static_cast<Variant>(line).toText(), u"first");
    target->Update();
    target->MoveFirst();
    EXPECT_EQ(target->Fields(u"Line").Value().toText(), u"first");
}

// A value converted once into a column's stored form goes into row after row as it is; what
// Update would refuse, storedForm refuses. Each AddNew starts with every column empty again, also
// the ones the row saved before was given.
TEST_F(StoredTextCopy, AStoredFormGoesIntoEveryRowItIsGivenTo) {
    makeDatabase(u"Long", Variant(u"first"));
    auto target = db_->OpenRecordset(u"T", dbOpenDynaset);
    target->AddNew();
    const jet::Value qty = target->Collect(u"Qty").storedForm(Variant(u"42"));
    EXPECT_EQ(qty, jet::Value(std::int32_t{42}));
    try {
        (void)target->Collect(u"Code").storedForm(Variant(u"too long"));
        FAIL() << "a text over the column's size";
    } catch (const Failure& f) {
        EXPECT_EQ(f.number(), 3163);
    }
    for (int row = 0; row < 3; ++row) {
        if (row > 0) target->AddNew();
        target->Collect(u"Qty").takeStoredForm(qty);
        EXPECT_EQ(static_cast<Variant>(target->Collect(u"Qty")).toText(), u"42");
        if (row == 0) target->Collect(u"Line") = Variant(u"only the first");
        target->Update();
    }
    target->MoveFirst();
    std::vector<std::u16string> lines;
    for (; !target->EOF_(); target->MoveNext()) {
        EXPECT_EQ(target->Fields(u"Qty").Value().toText(), u"42");
        const Variant line = target->Fields(u"Line").Value();
        lines.push_back(line.isNull() ? u"Null" : line.toText());
    }
    EXPECT_EQ(lines, (std::vector<std::u16string>{u"only the first", u"Null", u"Null"}));
}

// A taker made once serves row after row: each row takes its own text, and a row whose text is
// null or too long is refused (the caller then sets the value) without touching the others.
TEST_F(StoredTextCopy, ATakerMadeOnceTakesEachRowsOwnText) {
    makeDatabase(u"Long", Variant(u"one"));
    {
        auto more = db_->OpenRecordset(u"S", dbOpenDynaset);
        for (const Variant& value : {Variant(u"much too long"), Variant::null(), Variant(u"four")}) {
            more->AddNew();
            more->Collect(u"Long") = value;
            more->Update();
        }
        more->Close();
    }
    auto source = db_->OpenRecordset(u"S", dbOpenSnapshot);
    auto target = db_->OpenRecordset(u"T", dbOpenDynaset);
    target->AddNew();
    const StoredTextTaker take(target->Collect(u"Code"), source->Fields(u"Long"), 5);
    std::vector<bool> taken;
    for (; !source->EOF_(); source->MoveNext()) {
        if (!taken.empty()) target->AddNew();
        taken.push_back(take());
        if (!taken.back()) target->Collect(u"Code") = Variant(u"-");
        target->Update();
    }
    EXPECT_EQ(taken, (std::vector<bool>{true, false, false, true}));
    std::vector<std::u16string> codes;
    for (target->MoveFirst(); !target->EOF_(); target->MoveNext()) codes.push_back(target->Fields(u"Code").Value().toText());
    EXPECT_EQ(codes, (std::vector<std::u16string>{u"one", u"-", u"-", u"four"}));
}

// Texts of every length up to past the short copies' bounds go over whole, byte for byte.
TEST_F(StoredTextCopy, EveryLengthGoesOverWhole) {
    makeDatabase(u"Long", Variant(u""));
    std::vector<std::u16string> texts;
    {
        auto more = db_->OpenRecordset(u"S", dbOpenDynaset);
        for (std::size_t length = 1; length <= 40; ++length) {
            std::u16string text;
            for (std::size_t i = 0; i < length; ++i) text.push_back(static_cast<char16_t>(u'a' + (i * 7 + length) % 26));
            more->AddNew();
            more->Collect(u"Long") = Variant(text);
            more->Update();
            texts.push_back(text);
        }
        more->Close();
    }
    texts.insert(texts.begin(), u"");
    auto source = db_->OpenRecordset(u"S", dbOpenSnapshot);
    auto target = db_->OpenRecordset(u"T", dbOpenDynaset);
    target->AddNew();
    const StoredTextTaker take(target->Collect(u"Line"), source->Fields(u"Long"), 255);
    for (bool first = true; !source->EOF_(); source->MoveNext(), first = false) {
        if (!first) target->AddNew();
        ASSERT_TRUE(take());
        target->Update();
    }
    std::vector<std::u16string> copied;
    for (target->MoveFirst(); !target->EOF_(); target->MoveNext()) copied.push_back(target->Fields(u"Line").Value().toText());
    EXPECT_EQ(copied, texts);
}

TEST_F(StoredTextCopy, IsRefusedWithoutAnEdit) {
    makeDatabase(u"Long", Variant(u"first"));
    auto source = db_->OpenRecordset(u"S", dbOpenSnapshot);
    auto target = db_->OpenRecordset(u"T", dbOpenDynaset);
    EXPECT_FALSE(target->Collect(u"Line").takeStoredText(source->Fields(u"Long"), 255)) << "no AddNew or Edit";
}

// From a Jet 4 file: every text and memo of the old cookbook written in many scripts, each taken
// exactly when code page 1252 stores all its characters as themselves (and then read back as the
// same text, once written too), refused when any character would change.
TEST_F(StoredTextCopy, FromAJet4FileIsTakenExactlyWhenThePageHoldsTheText) {
    const fs::path cookbook = test::sharedDir() / "fixtures" / "cookbooks" / "intl11-jet4.rcp";
    if (!fs::exists(cookbook)) GTEST_SKIP() << "the shared cookbooks " << cookbook << " are absent";
    test::copyFixtureFile(cookbook, dir_ / "intl11.rcp");
    makeDatabase(u"Long", Variant(u"first"));
    auto jet4 = DBEngine::Instance().OpenDatabase(dir_ / "intl11.rcp");
    const text::CodePage& page = text::westernEuropean();
    int taken = 0, refused = 0;
    for (const char16_t* table : {u"Recipe", u"Ingred"}) {
        auto source = jet4->OpenRecordset(table, dbOpenSnapshot);
        auto target = db_->OpenRecordset(u"T", dbOpenDynaset);
        for (; !source->EOF_(); source->MoveNext()) {
            for (const auto& field : source->fieldList()) {
                if (field.Type() != type::dbText && field.Type() != type::dbMemo) continue;
                Field& from = source->Fields(field.Name());
                const Variant value = from.Value();
                const bool held = !value.isNull() && page.holds(value.toText());
                target->AddNew();
                auto body = target->Collect(u"Body");
                ASSERT_EQ(body.takeStoredText(from, SIZE_MAX), held) << text::toUtf8(value.toText());
                if (!held) {
                    ++refused;
                    target->CancelUpdate();
                    continue;
                }
                ++taken;
                EXPECT_EQ(static_cast<Variant>(body), value);
                target->Update();
                target->MoveLast();
                EXPECT_EQ(target->Fields(u"Body").Value(), value);
            }
        }
    }
    EXPECT_GT(taken, 0);
    EXPECT_GT(refused, 0);
    jet4->Close();
}

}  // namespace
}  // namespace zestrel::dao
