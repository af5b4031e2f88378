// What the independent readers (mdbtools, mdb-reader) make of a database
// file, parsed for comparison.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/row_compare.h"

namespace zestrel::test {

bool mdbtoolsInstalled();
bool mdbReaderInstalled();

// mdb-schema's columns of one table, with our type names.
std::vector<ColumnSpec> mdbSchema(const std::string& file, const std::string& table);
// mdb-json's rows of one table (dates as "YYYY-MM-DDTHH:MM:SS"). mdb-json cuts a value at 64 KB and
// then prints no valid JSON: such a row comes back as {kUnparsable: length of its line}.
inline constexpr const char* kUnparsable = "$unparsable";
std::vector<nlohmann::json> mdbJsonRows(const std::string& file, const std::string& table);
// mdb-prop's AllowZeroLength per column of a table (only the columns that have the property).
std::map<std::string, bool> mdbPropAllowZeroLength(const std::string& file, const std::string& table);
std::string mdbVersion(const std::string& file);

struct ReaderTable {
    std::string name;
    std::string error;
    nlohmann::json columns;
    std::vector<nlohmann::json> rows;
};
// Every table of the file as mdb-reader reads it.
std::vector<ReaderTable> mdbReaderTables(const std::string& file);
// mdb-reader's type names as ours.
std::string ourTypeName(const std::string& mdbReaderType);

// `zestrel dump` of one table, one JSON text per row.
std::vector<std::string> zestrelDump(const std::string& file, const std::string& table);

}  // namespace zestrel::test
