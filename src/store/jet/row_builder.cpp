#include "store/jet/row_builder.h"

#include <algorithm>
#include <array>

namespace zestrel::jet {

namespace {

// A Jet 3 row counts its columns and its variable-length columns in one byte each.
constexpr std::size_t kMaxColumns = 256;

std::uint32_t rowColumnCount(const TableDefinition& table) {
    std::uint32_t count = table.maxColumns;
    for (const auto& c : table.columns) count = std::max<std::uint32_t>(count, c.number + 1u);
    return count;
}

std::uint32_t fixedAreaSize(const TableDefinition& table) {
    std::uint32_t size = 0;
    for (const auto& c : table.columns)
        if (c.isFixed() && c.type != ColumnType::Boolean) size = std::max<std::uint32_t>(size, c.fixedOffset + c.size);
    return size;
}

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

std::size_t rowSize(std::size_t fixedArea, std::size_t varCount, std::size_t maskSize, std::size_t variableBytes) {
    const std::size_t body = 1 + fixedArea + variableBytes;
    if (varCount == 0) return body + maskSize;
    std::size_t jumps = 0;
    return rowLength(body, varCount, maskSize, jumps);
}

// Appends the offset table (last column first), the jump table and the variable column count.
// offsets[i] is where variable column i starts; offsets[varCount] is the end of the data.
void appendOffsetTable(std::vector<std::uint8_t>& row, std::span<const std::size_t> offsets, std::size_t varCount,
                       std::size_t maskSize) {
    std::size_t jumps = 0;
    rowLength(row.size(), varCount, maskSize, jumps);
    // The last jump entry is a filler when the data ends before the last 256-byte boundary.
    const std::size_t usedJumps = row.size() / 256 < jumps ? jumps - 1 : jumps;
    for (std::size_t i = offsets.size(); i-- > 0;) row.push_back(static_cast<std::uint8_t>(offsets[i] & 0xFF));
    for (std::size_t k = jumps; k > 0; --k) {
        std::uint8_t entry = 0xFF;
        if (k <= usedJumps) {
            std::size_t first = 0;
            while (first < offsets.size() && offsets[first] < 256 * k) ++first;
            entry = static_cast<std::uint8_t>(first);
        }
        row.push_back(entry);
    }
    row.push_back(static_cast<std::uint8_t>(varCount));
}

}  // namespace

void StoredFields::reset(std::size_t count) {
    fields_.assign(count, StoredField{});
    bytes_.clear();
}

std::size_t rowSizeJet3(const TableDefinition& table, std::size_t variableBytes) {
    return rowSize(fixedAreaSize(table), table.variableColumnCount, (rowColumnCount(table) + 7) / 8, variableBytes);
}

void buildRowJet3(const TableDefinition& table, const StoredFields& fields, std::vector<std::uint8_t>& row) {
    const std::uint32_t columns = rowColumnCount(table);
    const std::size_t varCount = table.variableColumnCount;
    if (columns > kMaxColumns || varCount >= kMaxColumns) throw CorruptData("a table has more columns than a row holds");
    const std::size_t maskSize = (columns + 7) / 8;
    const std::size_t fixedArea = fixedAreaSize(table);
    std::array<std::uint8_t, kMaxColumns / 8> mask{};
    std::array<int, kMaxColumns> variable;  // the field of each variable-length column, -1 when null
    variable.fill(-1);
    row.assign(1 + fixedArea, 0);
    row[0] = static_cast<std::uint8_t>(columns);
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const auto& c = table.columns[i];
        const auto& f = fields[i];
        const bool present = c.type == ColumnType::Boolean ? f.bit : !f.isNull;
        if (present) mask[c.number / 8] |= static_cast<std::uint8_t>(1u << (c.number % 8));
        if (c.type == ColumnType::Boolean || f.isNull) continue;
        if (c.isFixed()) {
            const auto bytes = fields.bytesOf(i);
            std::copy(bytes.begin(), bytes.end(), row.begin() + 1 + c.fixedOffset);
        } else if (c.variableIndex < varCount) {
            variable[c.variableIndex] = static_cast<int>(i);
        }
    }
    std::size_t dataEnd = row.size();
    if (varCount > 0) {
        std::array<std::size_t, kMaxColumns + 1> offsets;
        for (std::size_t v = 0; v < varCount; ++v) {
            offsets[v] = row.size();
            if (variable[v] < 0) continue;
            const auto bytes = fields.bytesOf(static_cast<std::size_t>(variable[v]));
            row.insert(row.end(), bytes.begin(), bytes.end());
        }
        dataEnd = row.size();
        offsets[varCount] = dataEnd;
        appendOffsetTable(row, std::span<const std::size_t>(offsets.data(), varCount + 1), varCount, maskSize);
    }
    row.insert(row.end(), mask.begin(), mask.begin() + static_cast<std::ptrdiff_t>(maskSize));
    // The arithmetic that sizes a row before it is built must agree with the row built.
    if (row.size() != rowSize(fixedArea, varCount, maskSize, dataEnd - 1 - fixedArea))
        throw CorruptData("a row was laid out inconsistently");
}

}  // namespace zestrel::jet
