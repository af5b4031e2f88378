#include "store/dao/field.h"

#include "store/dao/recordset.h"
#include "store/jet/failure.h"
#include "text/utf8.h"

namespace zestrel::dao {

Variant Field::Value() const { return Variant(owner().currentValue(column_)); }

bool Field::storedTextIn(const text::CodePage& page, jet::Bytes& text) const {
    return recordset_ && recordset_->storedTextIn(column_, page, text);
}

std::optional<std::int64_t> Field::wholeNumber() const { return owner().wholeNumberIn(column_); }

const Recordset& Field::owner() const {
    if (!recordset_)
        throw Failure(failure::kPropertyNotAvailable,
                      "The field '" + text::toUtf8(info_.name) + "' has no value outside a recordset.");
    return *recordset_;
}

}  // namespace zestrel::dao
