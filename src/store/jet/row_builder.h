// Encoding a row of a Jet 3 table: the column count, the fixed-length
// columns at their offsets, the variable-length columns, their one-byte
// offset table with the jump table that rows over 256 bytes need, and the
// null mask (which also holds the Booleans). The inverse of row_decoder.
#pragma once

#include <cstdint>
#include <vector>

#include "store/jet/tdef_reader.h"

namespace zestrel::jet {

// One column's stored form: null, a Boolean bit, or its bytes (for long values the 12-byte field and any inline data).
struct StoredField {
    bool isNull = true;
    bool bit = false;
    std::vector<std::uint8_t> bytes;
};

std::vector<std::uint8_t> buildRowJet3(const TableDefinition& table, const std::vector<StoredField>& fields);

// The length buildRowJet3 gives a row whose variable-length columns hold `variableBytes` in all.
std::size_t rowSizeJet3(const TableDefinition& table, std::size_t variableBytes);

}  // namespace zestrel::jet
