#include "store/dao/table_def.h"

#include "store/jet/failure.h"
#include "store/jet/format.h"
#include "store/jet/sort_key.h"
#include "text/utf8.h"

namespace zestrel::dao {

namespace {

bool isWritableType(int type) {
    switch (type) {
    case type::dbBoolean: case type::dbByte: case type::dbInteger: case type::dbLong: case type::dbCurrency:
    case type::dbSingle: case type::dbDouble: case type::dbDate: case type::dbText: case type::dbMemo:
    case type::dbBinary: case type::dbLongBinary: return true;
    default: return false;
    }
}
}  // namespace

void FieldList::Append(const std::shared_ptr<Field>& field) {
    for (const auto& existing : fields_)
        if (jet::equalsIgnoringCase(existing->Name(), field->Name()))
            throw Failure(failure::kFieldDefinedTwice, "Cannot define field '" + text::toUtf8(field->Name()) + "' more than once.");
    fields_.push_back(field);
}

Field& FieldList::operator()(const std::u16string& name) {
    for (auto& field : fields_)
        if (jet::equalsIgnoringCase(field->Name(), name)) return *field;
    throw Failure(failure::kItemNotFound, "Item not found in this collection: no field '" + text::toUtf8(name) + "'.");
}

std::shared_ptr<Field> TableDef::CreateField(const std::u16string& name, int fieldType, long size) const {
    if (!isWritableType(fieldType))
        throw Failure(failure::kInvalidFieldType, "Invalid field data type " + std::to_string(fieldType) + " for field '" +
                                             text::toUtf8(name) + "'.");
    if (name.empty() || name.size() > 64)
        throw Failure(failure::kInvalidArgument, "Invalid field name '" + text::toUtf8(name) + "'.");
    long stored = size;
    if (fieldType == type::dbText || fieldType == type::dbBinary) {
        if (size < 1 || size > 255)
            throw Failure(failure::kInvalidArgument, "Invalid size " + std::to_string(size) + " for field '" +
                                                         text::toUtf8(name) + "': it must be 1 to 255.");
    } else if (fieldType == type::dbMemo || fieldType == type::dbLongBinary) {
        stored = 0;
    } else {
        const auto jetType = static_cast<jet::ColumnType>(fieldType);
        stored = jetType == jet::ColumnType::Boolean ? 1 : jet::fixedSizeOf(jetType);
    }
    return std::make_shared<Field>(ColumnInfo{name, fieldType, stored, false, 0});
}

}  // namespace zestrel::dao
