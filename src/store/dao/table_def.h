// Table definitions: a stored table's fields, or a new table being defined
// with CreateField and Fields.Append before TableDefs.Append writes it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "store/dao/field.h"

namespace zestrel::dao {

// The Fields collection of a table definition.
class FieldList {
public:
    // Adds a field; a second field of the same name fails (3191).
    void Append(const std::shared_ptr<Field>& field);
    std::size_t Count() const { return fields_.size(); }
    // A field by name (3265 when there is none).
    Field& operator()(const std::u16string& name);
    const std::vector<std::shared_ptr<Field>>& items() const { return fields_; }

private:
    std::vector<std::shared_ptr<Field>> fields_;
};

class TableDef {
public:
    explicit TableDef(std::u16string name) : name_(std::move(name)) {}

    const std::u16string& Name() const { return name_; }
    // A new field, not yet part of the table: type is a data type code, size the Text length.
    // An unknown type fails (3259), a Text size outside 1 to 255 as well (3001).
    std::shared_ptr<Field> CreateField(const std::u16string& name, int type, long size = 0) const;
    FieldList& Fields() { return fields_; }
    const FieldList& Fields() const { return fields_; }

private:
    std::u16string name_;
    FieldList fields_;
};

}  // namespace zestrel::dao
