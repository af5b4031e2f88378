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

#include "store/dao/variant.h"
#include "store/jet/tdef_reader.h"

namespace zestrel::dao {

jet::Value convertForColumn(const Variant& value, const jet::ColumnDefinition& column, const std::u16string& table);
// The same, taking a text value's characters instead of copying them; a value that is not text,
// or is refused, stays as it was.
jet::Value convertForColumn(Variant&& value, const jet::ColumnDefinition& column, const std::u16string& table);
// Whether the conversion stores this value's text unchanged (a text into a Text or Memo column):
// then the stored value is the original, and a moved-from value can be given it back.
bool keepsText(const Variant& value, const jet::ColumnDefinition& column);

}  // namespace zestrel::dao
