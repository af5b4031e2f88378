// The upgrade's fast way of copying a text column: a text another recordset holds goes into the
// row being edited in the form this Jet 3 file stores it, without being decoded and encoded again.
#pragma once

#include <cstddef>

#include "store/dao/recordset.h"

namespace zestrel::dao {

// Sets a column of the row being edited to a text column of another recordset's current row,
// row after row, as takeStoredText does: what every row shares (the columns' types, the
// files' formats and code pages, the most characters the column takes) is worked out once.
// Both recordsets must outlive it.
class StoredTextTaker {
public:
    StoredTextTaker(Recordset::CollectRef target, const Field& source, std::size_t maxCharacters);
    // As takeStoredText(source, maxCharacters) on the current rows.
    bool operator()() const;

private:
    enum class Way { None, AsStored, FromJet4 };
    Recordset* target_;
    std::size_t column_;
    const Recordset* source_ = nullptr;
    std::size_t sourceColumn_ = 0;
    Way way_ = Way::None;
    std::size_t most_ = 0;  // characters the column takes
    bool allowZeroLength_ = false;
};

}  // namespace zestrel::dao
