// A table definition: its name and its fields in column order.
#pragma once

#include <string>
#include <vector>

#include "store/dao/field.h"

namespace zestrel::dao {

class TableDef {
public:
    explicit TableDef(std::u16string name) : name_(std::move(name)) {}

    const std::u16string& Name() const { return name_; }
    const std::vector<Field>& fieldList() const { return fields_; }
    std::vector<Field>& fieldList() { return fields_; }

private:
    std::u16string name_;
    std::vector<Field> fields_;
};

}  // namespace zestrel::dao
