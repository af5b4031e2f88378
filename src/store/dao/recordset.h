// A recordset: the rows of one table, in the table's order or sorted by one
// column, with a current position.
//
// It holds where each row lives, not the rows: a row's values are read when
// the recordset stands on it, so a table of any size takes a few bytes a row.
// A row changed through any recordset of the same open file reads changed.
//
// What callers rely on: BOF and EOF are both true only when there are no rows;
// after opening, the recordset stands on its first row; RecordCount is exact
// (also after MoveLast); moving past the end or reading where there is no
// current row fails with 3021; a column that does not exist fails with 3265.
// After Close, or after its database is closed, every use fails with 3420.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "store/dao/field.h"
#include "store/dao/variant.h"
#include "store/jet/database_file.h"
#include "store/jet/row_decoder.h"
#include "text/code_page.h"

namespace zestrel::dao {

// Recordset types.
inline constexpr int dbOpenTable = 1;
inline constexpr int dbOpenDynaset = 2;
inline constexpr int dbOpenSnapshot = 4;

// What a database shares with its recordsets, so that closing it invalidates them.
struct DatabaseState {
    std::shared_ptr<jet::DatabaseFile> file;
    bool open = true;
};

inline constexpr int dbUpdateRegular = 1;

class StoredTextTaker;

// Whether a column holds text (Text or Memo).
bool isTextColumn(const jet::ColumnDefinition& column);

// Navigation and editing are defined in recordset.cpp; what the upgrade's copy takes without
// decoding (stored texts and forms, whole numbers) in recordset_copy.cpp, beside StoredTextTaker.
class Recordset {
public:
    // The target of Collect(name) = value: assigning sets that column of the row being edited.
    class CollectRef {
    public:
        CollectRef& operator=(const Variant& value);
        CollectRef& operator=(Variant&& value);
        // Stores the other field's value in its recordset's current row.
        CollectRef& operator=(const Field& field);
        // Sets the column to the text `field` holds in its current row in the form this Jet 3
        // file stores it, when both columns are texts (Text or Memo), the text has at most
        // `maxCharacters` and fits this column as Update stores it, and it needs no decoding:
        // a Jet 3 text of the same code page goes over as stored; a Jet 4 text whose every
        // character this file's code page stores as itself goes over converted straight into
        // that page. Otherwise sets nothing and returns false: the caller then assigns the value.
        bool takeStoredText(const Field& field, std::size_t maxCharacters);
        // The form Update stores `value` in, in this column: converted as Update converts it, and
        // refused as Update would refuse it.
        jet::Value storedForm(const Variant& value) const;
        // Sets the column to `stored`, a value in this column's stored form (as storedForm gives
        // it), which the caller keeps unchanged until Update or CancelUpdate: a copy that gives a
        // column the same value row after row converts it once.
        void takeStoredForm(const jet::Value& stored) {
            owner_.ensureOpen();
            if (owner_.editMode_ == EditMode::None) owner_.failNoEdit();
            owner_.givenStored_[column_] = &stored;
        }
        operator Variant() const;

    private:
        friend class Recordset;
        friend class StoredTextTaker;
        CollectRef(Recordset& owner, std::size_t column) : owner_(owner), column_(column) {}
        Recordset& owner_;
        std::size_t column_;
    };

    Recordset(std::shared_ptr<DatabaseState> database, jet::TableDefinition table, jet::RowList rows, int type);
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    bool BOF() const;
    bool EOF_() const;
    void MoveFirst();
    void MoveNext();
    void MoveLast();
    long RecordCount() const;
    Field& Fields(std::u16string_view name);
    void Close();

    // Editing, on dynaset and table recordsets (a snapshot fails with 3027). AddNew begins a new row
    // (all columns Null), Edit a change of the current row; Collect sets columns; Update saves the row
    // (3020 when nothing was begun). A new row joins the end of the recordset; the current row stays.
    void AddNew();
    void Edit();
    CollectRef Collect(std::u16string_view name);
    void Update(int type = dbUpdateRegular, bool force = false);
    void CancelUpdate();

    int type() const { return type_; }
    const std::vector<Field>& fieldList() const;
    // The value of column `column` in the current row (3021 when there is none).
    jet::Value currentValue(std::size_t column) const;
    // The current row's text in `column` as code page `page` stores it, into `text`: the stored
    // bytes of a Jet 3 text kept in that page, or a Jet 4 text whose every character the page
    // stores as itself, converted. False when the column is no text or memo, the value is null,
    // or the text is neither.
    bool storedTextIn(std::size_t column, const text::CodePage& page, jet::Bytes& text) const;
    // The current row's value of a Byte, Integer or Long column, read without a Value; none when
    // it is null or the column is of another type.
    std::optional<std::int64_t> wholeNumberIn(std::size_t column) const;

private:
    friend class StoredTextTaker;
    // Checked on every call; the failing path lies out of line.
    void ensureOpen() const {
        if (closed_ || !database_->open) failClosed();
    }
    void ensureCurrent() const {
        ensureOpen();
        if (position_ < 0 || position_ >= size()) failNoCurrentRecord();
    }
    [[noreturn]] void failClosed() const;
    [[noreturn]] void failNoCurrentRecord() const;
    [[noreturn]] void failNoEdit() const;
    void ensureUpdatable() const;
    std::size_t columnIndex(std::u16string_view name) const;
    long size() const { return static_cast<long>(rows_.size()); }
    // Stands on `position`; the row there is read when a value is first asked for.
    void moveTo(long position);
    // Reads the current row's bytes, unless they were read since the recordset came to stand on it
    // (and the file was not written since).
    void loadCurrent() const {
        ensureCurrent();
        if (currentAt_ != position_ || currentReadAfterWrites_ != database_->file->writesBegun()) readCurrent();
    }
    void readCurrent() const;
    void save();
    void clearStoredTexts();
    enum class EditMode { None, Adding, Editing };

    std::shared_ptr<DatabaseState> database_;
    jet::TableDefinition table_;
    jet::RowLocator locate_;  // where the table's columns lie in a row
    jet::RowList rows_;  // where each row lives
    std::vector<Field> fields_;
    std::unordered_map<std::u16string_view, std::size_t> byName_;  // exact field names
    // The field last found for a name at that address (index + 1), checked against the name
    // before use: callers ask for the same literal names row after row.
    mutable std::array<std::uint16_t, 512> recent_{};  // indexed by the top 9 bits of a hash
    int type_;
    long position_ = 0;  // -1 before the first row, size() after the last
    // The bytes of the row at currentAt_ and where each field lies in them; a field is decoded
    // when its value is asked for.
    // The bytes lie in the file's view while it is only read, else in currentRow_. The row is read
    // again after any write to the file, so that it reads changed (and bytes in the view, where
    // what is written shows, are never read with the field places of what was there before).
    mutable std::vector<std::uint8_t> currentRow_;
    mutable std::vector<jet::FieldLocation> currentFields_;
    mutable long currentAt_ = -1;  // -1: none read
    mutable std::uint64_t currentReadAfterWrites_ = 0;  // the file's writes begun when it was read
    bool closed_ = false;
    EditMode editMode_ = EditMode::None;
    std::vector<Variant> buffer_;
    // The columns of the row being edited that were given in their stored form: another field's
    // stored text (takeStoredText), kept in storedTexts_ (each a jet::Bytes, kept for its
    // storage), or a caller's value (takeStoredForm). Null: the value is in buffer_.
    std::vector<const jet::Value*> givenStored_;
    std::vector<jet::Value> storedTexts_;
    jet::Bytes textBeingTaken_;
    mutable jet::Bytes unicodeText_;  // a Jet 4 text as stored, on its way to a code page
    // What Update stores: each column's value where it lies in the buffer, or its conversion in
    // converted_. Both are kept for their storage.
    std::vector<const jet::Value*> toStore_;
    std::vector<jet::Value> converted_;
    // The last number or zero-length text each column was given and the form it was stored in:
    // a copy gives many columns the same constant row after row, converted once.
    struct RememberedForm {
        Variant given;
        jet::Value stored;
        bool valid = false;
    };
    std::vector<RememberedForm> remembered_;
    const jet::Value& storedFormOf(std::size_t column);
};

// The column of `table` named `name`: the exact name first, else one that differs only in
// case. None fails with 3265.
std::size_t columnOf(const jet::TableDefinition& table, std::u16string_view name);

// The field a column of a stored table shows: DAO type code, size, attributes, AllowZeroLength.
ColumnInfo columnInfoOf(const jet::ColumnDefinition& column, jet::JetVersion version);

}  // namespace zestrel::dao
