// A column: as part of a table definition being built (name, type, size,
// AllowZeroLength, Attributes), or as a column of an open recordset, where
// Value() is the column's value in the current row.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "store/dao/variant.h"
#include "text/code_page.h"

namespace zestrel::dao {

class Recordset;

// Data type codes of the data-access objects.
namespace type {
inline constexpr int dbBoolean = 1;
inline constexpr int dbByte = 2;
inline constexpr int dbInteger = 3;
inline constexpr int dbLong = 4;
inline constexpr int dbCurrency = 5;
inline constexpr int dbSingle = 6;
inline constexpr int dbDouble = 7;
inline constexpr int dbDate = 8;
inline constexpr int dbBinary = 9;
inline constexpr int dbText = 10;
inline constexpr int dbLongBinary = 11;
inline constexpr int dbMemo = 12;
inline constexpr int dbGUID = 15;
inline constexpr int dbDecimal = 20;
}  // namespace type

// Field attribute flags.
inline constexpr long dbFixedField = 1;
inline constexpr long dbVariableField = 2;
inline constexpr long dbAutoIncrField = 16;

struct ColumnInfo {
    std::u16string name;
    int type = type::dbText;
    long size = 0;
    bool allowZeroLength = false;
    long attributes = 0;
};

class Field {
public:
    explicit Field(ColumnInfo info) : info_(std::move(info)) {}

    const std::u16string& Name() const { return info_.name; }
    int Type() const { return info_.type; }
    long Size() const { return info_.size; }
    bool AllowZeroLength() const { return info_.allowZeroLength; }
    void AllowZeroLength(bool allow) { info_.allowZeroLength = allow; }
    long Attributes() const { return info_.attributes; }
    void Attributes(long attributes) { info_.attributes = attributes; }

    // The value in the current row of the recordset this field belongs to.
    // No current row: Failure 3021. A field of a table definition has no value (3219).
    Variant Value() const;
    // The text in the current row as code page `page` stores it, into `text`, when it is a text
    // so stored (see Recordset::storedTextIn); otherwise false.
    bool storedTextIn(const text::CodePage& page, jet::Bytes& text) const;
    // The value in the current row when the column is a Byte, Integer or Long and the value is not
    // null, widened; otherwise none. Outside a recordset: Failure 3219, as Value().
    std::optional<std::int64_t> wholeNumber() const;

    const ColumnInfo& info() const { return info_; }

private:
    friend class Recordset;
    friend class StoredTextTaker;
    // The recordset whose current row holds this field's value; Failure 3219 when there is none.
    const Recordset& owner() const;
    ColumnInfo info_;
    const Recordset* recordset_ = nullptr;
    std::size_t column_ = 0;
};

}  // namespace zestrel::dao
