// Prints rows as JSON lines: one object per row, keys the column names in
// column order. Output is gathered into large writes.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "store/jet/value.h"

namespace zestrel::cli {

class RowPrinter {
public:
    RowPrinter(const std::vector<std::u16string>& columns, std::ostream& out);
    ~RowPrinter();
    RowPrinter(const RowPrinter&) = delete;
    RowPrinter& operator=(const RowPrinter&) = delete;

    void print(const std::vector<jet::Value>& row);
    // Writes what is gathered; the destructor does too.
    void flush();

private:
    std::vector<std::string> keys_;  // "{"Name":" for the first column, ","Name":" for the others
    std::ostream& out_;
    std::string buffer_;
};

}  // namespace zestrel::cli
