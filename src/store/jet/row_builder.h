// Encoding a row of a Jet 3 table: the column count, the fixed-length
// columns at their offsets, the variable-length columns, their one-byte
// offset table with the jump table that rows over 256 bytes need, and the
// null mask (which also holds the Booleans). The inverse of row_decoder.
//
// The encoder keeps its buffers between rows, so that a row is encoded
// without allocating once the buffers have grown to the largest row.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "store/jet/tdef_reader.h"

namespace zestrel::jet {

// One column's stored form: null, a Boolean bit, or its bytes (for long values the 12-byte field and
// any inline data), which lie in the field bytes of the row being encoded.
struct StoredField {
    bool isNull = true;
    bool bit = false;
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

// The stored form of every column of one row, by position, with their bytes in one buffer.
class StoredFields {
public:
    // Starts a row of `count` columns, all null.
    void reset(std::size_t count);
    StoredField& operator[](std::size_t i) { return fields_[i]; }
    const StoredField& operator[](std::size_t i) const { return fields_[i]; }
    std::size_t size() const { return fields_.size(); }
    // The buffer a field's bytes are appended to; call begin() before and end() after appending.
    std::vector<std::uint8_t>& bytes() { return bytes_; }
    void begin(std::size_t i) {
        fields_[i].isNull = false;
        fields_[i].offset = static_cast<std::uint32_t>(bytes_.size());
    }
    void end(std::size_t i) { fields_[i].length = static_cast<std::uint32_t>(bytes_.size() - fields_[i].offset); }
    // Column i's bytes: valid until the next append.
    std::span<const std::uint8_t> bytesOf(std::size_t i) const {
        return std::span<const std::uint8_t>(bytes_).subspan(fields_[i].offset, fields_[i].length);
    }

private:
    std::vector<StoredField> fields_;
    std::vector<std::uint8_t> bytes_;
};

// What every row of a table shares: its column count (the null mask covers every column number,
// deleted ones too) and the size of its fixed-length area. Found once for the rows of one write.
struct RowFrame {
    std::uint32_t columns = 0;
    std::uint32_t fixedArea = 0;
};
RowFrame rowFrameOf(const TableDefinition& table);

// Encodes the row into `row` (its earlier content is replaced); `frame` is the table's.
void buildRowJet3(const TableDefinition& table, const RowFrame& frame, const StoredFields& fields,
                  std::vector<std::uint8_t>& row);

// The length buildRowJet3 gives a row whose variable-length columns hold `variableBytes` in all.
std::size_t rowSizeJet3(const TableDefinition& table, const RowFrame& frame, std::size_t variableBytes);

}  // namespace zestrel::jet
