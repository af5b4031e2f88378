// How each column of a new layout-1.3 row is filled from the current row of
// an old-layout source: the rules and the table form the recipe and
// ingredient maps are written in.
#pragma once

#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/dao/recordset.h"
#include "store/dao/stored_text_taker.h"
#include "upgrade/value_changes.h"

namespace zestrel::upgrade {

enum class Layout { V10, V11 };

class RidRenames;

struct ColumnRule {
    enum class Kind {
        AsIs,          // the source value unchanged; the engine converts it to the column's type
        FirstChars,    // the source value as text, cut to `length` characters; null stays null
        ParsedAmount,  // the source value as text through ParseQuantity; null stays null; an amount kept
                       // as text is cut to `length` characters
        EmptyText,     // the zero-length text, the source is not read
        Zero,          // the number 0 as a 16-bit integer, the source is not read
    };
    Kind kind;
    const char16_t* source = nullptr;
    int length = 0;
};

inline ColumnRule asIs(const char16_t* source) { return {ColumnRule::Kind::AsIs, source, 0}; }
inline ColumnRule first(const char16_t* source, int length) { return {ColumnRule::Kind::FirstChars, source, length}; }
inline ColumnRule parsedAmount(const char16_t* source, int length) {
    return {ColumnRule::Kind::ParsedAmount, source, length};
}
inline ColumnRule emptyText() { return {ColumnRule::Kind::EmptyText}; }
inline ColumnRule zero() { return {ColumnRule::Kind::Zero}; }

struct ColumnMapping {
    const char16_t* target;
    ColumnRule fromLayout10;
    ColumnRule fromLayout11;
};

using ColumnMap = std::vector<ColumnMapping>;

// Fills the target's new rows from the source's current rows, one map column after another.
// Each column is looked up by name the first time a row reads or sets it, as the copy would look
// it up row by row (a column missing from an empty table is never looked up), and kept for the
// rows after: a recordset's fields stay the same while it is open.
//
// A text goes into its column as the new cookbook stores it: characters code page 1252 lacks by
// their best fit (or "?"), then cut to the rule's length. Every value stored other than as the
// source held it is added to `changes`, naming `targetTable`, the column and the row's rID.
//
// A row whose rID is among `renames` gets its recipe's new rID in the column "rID" instead, and
// the change says why.
class ColumnWriter {
public:
    ColumnWriter(const ColumnMap& map, Layout layout, dao::Recordset& source, dao::Recordset& target,
                 const char16_t* targetTable, ValueChanges& changes, const RidRenames* renames = nullptr);
    // Sets every target column of the row being added, in the map's order.
    void writeColumns();

private:
    struct Column {
        Column(const ColumnMapping* m, const ColumnRule* r) : mapping(m), rule(r) {}
        const ColumnMapping* mapping;
        const ColumnRule* rule;
        const dao::Field* source = nullptr;
        std::optional<dao::Recordset::CollectRef> target;
        std::optional<dao::StoredTextTaker> textTaker;  // a text rule's source taken as stored
        std::optional<bool> targetIsText;
        std::optional<std::size_t> digitsRoom;  // a whole number into a text column: most digits it takes, else 0
        std::optional<jet::Value> constant;  // a constant rule's value as its column stores it
        jet::Value stored = jet::Bytes();     // this row's value as its column stores it, when worked out here
    };
    // Each column's target and source are found by name once, at its first use.
    dao::Recordset::CollectRef& targetOf(Column& column) {
        if (!column.target) findTarget(column);
        return *column.target;
    }
    const dao::Field& sourceOf(Column& column) {
        if (!column.source) findSource(column);
        return *column.source;
    }
    void findTarget(Column& column);
    void findSource(Column& column);
    std::size_t digitsRoom(Column& column);
    bool copiedAsStored(Column& column);
    bool givenAsConstant(Column& column);
    bool wholeNumberAsDigits(Column& column);
    bool givenRenamedRid(Column& column);
    // What an amount becomes: the form its column stores (a number, or a text kept whole), and
    // whether the quantity rules emptied it (marked with "*"); neither for a text that must be cut
    // or have characters replaced, which is worked out row by row so that each row's change is
    // listed.
    struct AmountOutcome {
        std::optional<jet::Value> stored;
        bool emptied = false;
        bool tooLong = false;      // emptied since, cut to its column, it would read as another number
        std::u16string storedAs = {};  // a number stored with fewer digits than the text wrote: how it is stored
    };
    void writeAmount(Column& column);
    AmountOutcome amountOutcome(Column& column, const std::u16string& text);
    AmountOutcome numberOutcome(Column& column, const std::u16string& text, dao::Variant number);
    AmountOutcome tooLongOutcome(Column& column, const std::u16string& kept);
    // Stores the outcome of the current row's amount; `textOf()` gives the amount's text, decoded
    // only when the row needs it.
    template <typename TextOf>
    void storeAmount(Column& column, const AmountOutcome& outcome, TextOf&& textOf);
    dao::Variant valueFor(Column& column);
    // The text as the new cookbook stores it, cut to `length`; a change is recorded.
    std::u16string fitted(const Column& column, std::u16string text, std::size_t length);
    bool targetIsText(Column& column);
    std::u16string currentRid();
    bool ofRecipes() const { return ofRecipes_; }
    // The current row's text of the source column `name` (found once, kept in `field`); none for
    // Null or a column it lacks.
    std::optional<std::u16string> sourceText(const dao::Field*& field, const char16_t* name);
    // A change of the value of `column` in the current row, to be filled in.
    ValueChange changeOf(const Column& column);

    std::vector<Column> columns_;
    // One amount column's outcomes, worked out once for each distinct amount (amounts repeat from
    // row to row: "1", "1/2", "2 1/2"), by the amount's bytes in code page 1252.
    std::unordered_map<std::string, AmountOutcome> amounts_;
    AmountOutcome amountNotRemembered_;  // this row's, when it is not among them
    jet::Bytes amountBytes_;  // the amount of the current row as stored, and as a key
    std::string amountKey_;
    dao::Recordset& source_;
    dao::Recordset& target_;
    const char16_t* targetTable_;
    const bool ofRecipes_;  // the target is the Recipe table: asked on every row
    ValueChanges& changes_;
    const dao::Field* rid_ = nullptr;
    const dao::Field* name_ = nullptr;
    const dao::Field* item_ = nullptr;
    const dao::Field* ingredient_ = nullptr;
    const RidRenames* renames_ = nullptr;
    const Column* ridColumn_ = nullptr;  // the column "rID", when some rows get a new one
};

}  // namespace zestrel::upgrade
