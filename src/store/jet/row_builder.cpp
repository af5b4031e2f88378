#include "store/jet/row_builder.h"

#include <algorithm>

namespace zestrel::jet {

namespace {

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

}  // namespace

std::size_t rowSizeJet3(const TableDefinition& table, std::size_t variableBytes) {
    const std::size_t maskSize = (rowColumnCount(table) + 7) / 8;
    const std::size_t body = 1 + fixedAreaSize(table) + variableBytes;
    if (table.variableColumnCount == 0) return body + maskSize;
    std::size_t jumps = 0;
    return rowLength(body, table.variableColumnCount, maskSize, jumps);
}

std::vector<std::uint8_t> buildRowJet3(const TableDefinition& table, const std::vector<StoredField>& fields) {
    const std::uint32_t columns = rowColumnCount(table);
    const std::size_t maskSize = (columns + 7) / 8;
    std::vector<std::uint8_t> mask(maskSize, 0);
    std::vector<std::uint8_t> row(1 + fixedAreaSize(table), 0);
    row[0] = static_cast<std::uint8_t>(columns);

    const std::size_t varCount = table.variableColumnCount;
    std::size_t variableBytes = 0;
    for (const auto& f : fields) variableBytes += f.bytes.size();
    // Room for the whole row at once: data, offsets, jump table, count and mask.
    row.reserve(row.size() + variableBytes + 2 * varCount + variableBytes / 256 + 4 + maskSize);
    std::vector<const StoredField*> variable(varCount, nullptr);
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const auto& c = table.columns[i];
        const auto& f = fields[i];
        const bool present = c.type == ColumnType::Boolean ? f.bit : !f.isNull;
        if (present) mask[c.number / 8] |= static_cast<std::uint8_t>(1u << (c.number % 8));
        if (c.type == ColumnType::Boolean || f.isNull) continue;
        if (c.isFixed()) {
            std::copy(f.bytes.begin(), f.bytes.end(), row.begin() + 1 + c.fixedOffset);
        } else if (c.variableIndex < varCount) {
            variable[c.variableIndex] = &f;
        }
    }
    if (varCount == 0) {
        row.insert(row.end(), mask.begin(), mask.end());
        return row;
    }
    std::vector<std::size_t> offsets;
    offsets.reserve(varCount + 1);
    for (const StoredField* f : variable) {
        offsets.push_back(row.size());
        if (f) row.insert(row.end(), f->bytes.begin(), f->bytes.end());
    }
    offsets.push_back(row.size());  // end of data

    std::size_t jumps = 0;
    const std::size_t length = rowLength(row.size(), varCount, maskSize, jumps);
    // The last jump entry is a filler when the data ends before the last 256-byte boundary.
    const std::size_t usedJumps = (row.size()) / 256 < jumps ? jumps - 1 : jumps;
    std::vector<std::uint8_t> jumpTable(jumps, 0xFF);
    for (std::size_t k = 1; k <= usedJumps; ++k) {
        std::size_t first = 0;
        while (first < offsets.size() && offsets[first] < 256 * k) ++first;
        jumpTable[k - 1] = static_cast<std::uint8_t>(first);
    }
    for (std::size_t i = offsets.size(); i-- > 0;) row.push_back(static_cast<std::uint8_t>(offsets[i] & 0xFF));
    for (std::size_t k = jumps; k-- > 0;) row.push_back(jumpTable[k]);
    row.push_back(static_cast<std::uint8_t>(varCount));
    row.insert(row.end(), mask.begin(), mask.end());
    if (row.size() != length || rowSizeJet3(table, offsets.back() - 1 - fixedAreaSize(table)) != length)
        throw CorruptData("a row was laid out inconsistently");
    return row;
}

}  // namespace zestrel::jet
