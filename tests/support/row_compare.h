// Comparing a row printed by `zestrel dump` with the same row as an
// independent reader gives it, column by column, under that reader's
// conventions. Each function returns an empty text when the rows agree and
// otherwise names the first column that differs with both values.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zestrel::test {

struct ColumnSpec {
    std::string name;
    std::string type;  // as `zestrel schema` names it
    long size = 0;
};

// The columns of a table as `zestrel schema` prints them.
std::vector<ColumnSpec> zestrelSchema(const std::string& file, const std::string& table);

// mdb-json (run with -T '%Y-%m-%dT%H:%M:%S'): nulls are left out, Booleans are
// 0/1, binary values are base64 and, like texts, may end at their first zero
// byte (mdbtools passes them through C strings), an empty text or memo is left
// out like a null, GUIDs are their text in base64.
std::string compareWithMdbJson(const nlohmann::json& ours, const nlohmann::json& theirs,
                               const std::vector<ColumnSpec>& columns);

// mdb-reader, as tests/tools/mdb_reader_dump.mjs prints it: dates in
// milliseconds (ours, to the second, must be the nearest second), binary as
// {"$binary": base64}, currency and decimals as text, GUIDs without braces.
std::string compareWithMdbReader(const nlohmann::json& ours, const nlohmann::json& theirs,
                                 const std::vector<ColumnSpec>& columns);

std::vector<unsigned char> base64Decode(const std::string& text);

}  // namespace zestrel::test
