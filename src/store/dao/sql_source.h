// The record sources OpenRecordset accepts: a table name, or the one SQL form
// the system uses, "SELECT * FROM <table> [ORDER BY <column> [ASC]]", with
// keywords in any case and names bare or in brackets. Anything else is a
// syntax failure (3131) that quotes the text.
#pragma once

#include <optional>
#include <string>

namespace zestrel::dao {

struct RecordSource {
    std::u16string table;
    std::optional<std::u16string> orderBy;
};

RecordSource parseRecordSource(const std::u16string& source);

}  // namespace zestrel::dao
