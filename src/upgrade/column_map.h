// How each column of a new layout-1.3 row is filled from the current row of
// an old-layout source: the rules and the table form the recipe and
// ingredient maps are written in.
#pragma once

#include <string>
#include <vector>

#include "store/dao/recordset.h"

namespace zestrel::upgrade {

enum class Layout { V10, V11 };

struct ColumnRule {
    enum class Kind {
        AsIs,          // the source value unchanged; the engine converts it to the column's type
        FirstChars,    // the source value as text, cut to `length` characters; null stays null
        ParsedAmount,  // the source value as text through ParseQuantity; null stays null; an amount kept
                       // as text because it has a blank and no slash is cut to `length` characters
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

// The value one rule gives for the source's current row.
dao::Variant valueFor(const ColumnRule& rule, dao::Recordset& source);

// Sets every target column of the row being added, in the map's order.
void writeColumns(const ColumnMap& map, Layout layout, dao::Recordset& source, dao::Recordset& target);

}  // namespace zestrel::upgrade
