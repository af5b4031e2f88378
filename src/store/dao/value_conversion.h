// Converting a value into the type of the column it is stored in, as the
// engine does on Update, and refusing what the column cannot hold. Every
// refusal names the table and the column:
//   3163  a text longer than the column's size (or binary longer than its size)
//   3315  a zero-length text where the column does not allow it
//   3421  a value that cannot be converted (also: characters outside code page 1252)
//   3349  a number outside the column type's range
// Numbers become text as the system writes them (Single with up to 7
// significant digits, Double up to 15); texts become numbers where they parse;
// Booleans come from numbers and from yes/no, true/false, on/off texts. Empty
// and Null are stored as Null (a Boolean column stores No).
#pragma once

#include <string>
#include <vector>

#include "store/dao/variant.h"
#include "store/jet/tdef_reader.h"

namespace zestrel::dao {

jet::Value convertForColumn(const Variant& value, const jet::ColumnDefinition& column, const std::u16string& table);
// The value as the column stores it: the value itself when it already has the column's type and
// fits, else its conversion, appended to `converted`. The caller reserves room in `converted` for
// every column of the row, so that the conversions given earlier stay where they are.
const jet::Value& storedFormFor(const Variant& value, const jet::ColumnDefinition& column, const std::u16string& table,
                                std::vector<jet::Value>& converted);

}  // namespace zestrel::dao
