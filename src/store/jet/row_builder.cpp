#include "store/jet/row_builder.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zestrel::jet {

namespace {

// A Jet 3 row counts its columns and its variable-length columns in one byte each.
constexpr std::size_t kMaxColumns = 256;

// Total length of a row with these parts, with as many jump entries as the reader will expect.
std::size_t rowLength(std::size_t body, std::size_t varCount, std::size_t maskSize, std::size_t& jumps) {
    jumps = 0;
    for (;;) {
        const std::size_t length = body + (varCount + 1) + jumps + 1 + maskSize;
        const std::size_t needed = (length - 1) / 256;
        if (needed == jumps) return length;
        jumps = needed;
    }
}

std::size_t rowSize(std::size_t fixedArea, std::size_t varCount, std::size_t maskSize, std::size_t variableBytes,
                    std::size_t& jumps) {
    const std::size_t body = 1 + fixedArea + variableBytes;
    jumps = 0;
    if (varCount == 0) return body + maskSize;
    return rowLength(body, varCount, maskSize, jumps);
}

// Writes the offset table (last column first), the jump table and the variable column count from
// `at`; returns where they end. offsets[i] is where variable column i starts; offsets[varCount] is
// the end of the data, which is also where the table starts.
std::uint8_t* writeOffsetTable(std::uint8_t* at, std::span<const std::size_t> offsets, std::size_t varCount,
                               std::size_t jumps) {
    const std::size_t dataEnd = offsets.back();
    // The last jump entry is a filler when the data ends before the last 256-byte boundary.
    const std::size_t usedJumps = dataEnd / 256 < jumps ? jumps - 1 : jumps;
    for (std::size_t i = offsets.size(); i-- > 0;) *at++ = static_cast<std::uint8_t>(offsets[i] & 0xFF);
    for (std::size_t k = jumps; k > 0; --k) {
        std::uint8_t entry = 0xFF;
        if (k <= usedJumps) {
            std::size_t first = 0;
            while (first < offsets.size() && offsets[first] < 256 * k) ++first;
            entry = static_cast<std::uint8_t>(first);
        }
        *at++ = entry;
    }
    *at++ = static_cast<std::uint8_t>(varCount);
    return at;
}

void copyBytes(std::span<const std::uint8_t> bytes, std::uint8_t* to) {
    if (!bytes.empty()) std::memcpy(to, bytes.data(), bytes.size());
}

}  // namespace

RowFrame rowFrameOf(const TableDefinition& table) {
    RowFrame frame{table.maxColumns, 0};
    for (const auto& c : table.columns) {
        frame.columns = std::max<std::uint32_t>(frame.columns, c.number + 1u);
        if (c.isFixed() && c.type != ColumnType::Boolean)
            frame.fixedArea = std::max<std::uint32_t>(frame.fixedArea, c.fixedOffset + c.size);
    }
    return frame;
}

void StoredFields::reset(std::size_t count) {
    fields_.assign(count, StoredField{});
    bytes_.clear();
}

std::size_t rowSizeJet3(const TableDefinition& table, const RowFrame& frame, std::size_t variableBytes) {
    std::size_t jumps = 0;
    return rowSize(frame.fixedArea, table.variableColumnCount, (frame.columns + 7) / 8, variableBytes, jumps);
}

// The row is sized first and then written in place: the parts' sizes are all known up front.
void buildRowJet3(const TableDefinition& table, const RowFrame& frame, const StoredFields& fields,
                  std::vector<std::uint8_t>& row) {
    const std::size_t varCount = table.variableColumnCount;
    if (frame.columns > kMaxColumns || varCount >= kMaxColumns)
        throw CorruptData("a table has more columns than a row holds");
    const std::size_t maskSize = (frame.columns + 7) / 8;
    std::array<std::uint8_t, kMaxColumns / 8> mask{};
    std::array<int, kMaxColumns> variable;  // the field of each variable-length column, -1 when null
    std::fill_n(variable.begin(), varCount, -1);
    std::size_t variableBytes = 0;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const auto& c = table.columns[i];
        const auto& f = fields[i];
        const bool present = c.type == ColumnType::Boolean ? f.bit : !f.isNull;
        if (present) mask[c.number / 8] |= static_cast<std::uint8_t>(1u << (c.number % 8));
        if (c.type == ColumnType::Boolean || f.isNull || c.isFixed() || c.variableIndex >= varCount) continue;
        variable[c.variableIndex] = static_cast<int>(i);
        variableBytes += f.length;
    }
    std::size_t jumps = 0;
    const std::size_t size = rowSize(frame.fixedArea, varCount, maskSize, variableBytes, jumps);
    row.assign(size, 0);
    std::uint8_t* const start = row.data();
    start[0] = static_cast<std::uint8_t>(frame.columns);
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const auto& c = table.columns[i];
        if (c.isFixed() && c.type != ColumnType::Boolean && !fields[i].isNull)
            copyBytes(fields.bytesOf(i), start + 1 + c.fixedOffset);
    }
    std::uint8_t* at = start + 1 + frame.fixedArea;
    if (varCount > 0) {
        std::array<std::size_t, kMaxColumns + 1> offsets;
        for (std::size_t v = 0; v < varCount; ++v) {
            offsets[v] = static_cast<std::size_t>(at - start);
            if (variable[v] < 0) continue;
            const auto bytes = fields.bytesOf(static_cast<std::size_t>(variable[v]));
            copyBytes(bytes, at);
            at += bytes.size();
        }
        offsets[varCount] = static_cast<std::size_t>(at - start);
        at = writeOffsetTable(at, std::span<const std::size_t>(offsets.data(), varCount + 1), varCount, jumps);
    }
    std::copy_n(mask.begin(), maskSize, at);
    // The arithmetic that sizes the row must agree with the parts written.
    if (at + maskSize != start + size) throw CorruptData("a row was laid out inconsistently");
}

}  // namespace zestrel::jet
