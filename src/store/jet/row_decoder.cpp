#include "store/jet/row_decoder.h"

#include <bit>

#include "store/jet/long_value.h"
#include "store/jet/text_codec.h"

namespace zestrel::jet {

namespace {

// Jet 3: one-byte offsets, counted in 256-byte segments by the jump table.
std::vector<std::uint32_t> variableOffsetsJet3(std::span<const std::uint8_t> row, std::size_t maskSize,
                                               std::uint32_t varCount) {
    const std::size_t last = row.size() - 1;
    std::size_t jumps = (row.size() - 1) / 256;
    if (last < maskSize + jumps + 1) throw CorruptData("a row is too short for its offset table");
    const std::size_t tableEnd = last - maskSize - jumps - 1;  // position of the first offset
    if (tableEnd < varCount) throw CorruptData("a row is too short for its offset table");
    if (jumps > 0 && (tableEnd - varCount) / 256 < jumps) --jumps;  // the last jump entry is a filler
    std::vector<std::uint32_t> offsets(varCount + 1);
    std::size_t jumpsUsed = 0;
    for (std::uint32_t i = 0; i <= varCount; ++i) {
        while (jumpsUsed < jumps && i == readU8(row, last - maskSize - jumpsUsed - 1)) ++jumpsUsed;
        offsets[i] = readU8(row, tableEnd - i) + static_cast<std::uint32_t>(jumpsUsed * 256);
    }
    return offsets;
}

std::vector<std::uint32_t> variableOffsetsJet4(std::span<const std::uint8_t> row, std::size_t maskSize,
                                               std::uint32_t varCount) {
    std::vector<std::uint32_t> offsets(varCount + 1);
    const std::size_t last = row.size() - 1;
    for (std::uint32_t i = 0; i <= varCount; ++i) {
        const std::size_t at = last - maskSize - 3 - 2 * static_cast<std::size_t>(i);
        if (at > last) throw CorruptData("a row is too short for its offset table");
        offsets[i] = readU16(row, at);
    }
    return offsets;
}

bool maskBit(std::span<const std::uint8_t> mask, std::uint16_t number) {
    return (mask[number / 8] & (1u << (number % 8))) != 0;
}

template <typename T>
T readAs(std::span<const std::uint8_t> b) {
    if constexpr (sizeof(T) == 1) return std::bit_cast<T>(readU8(b, 0));
    else if constexpr (sizeof(T) == 2) return std::bit_cast<T>(readU16(b, 0));
    else if constexpr (sizeof(T) == 4) return std::bit_cast<T>(readU32(b, 0));
    else return std::bit_cast<T>(readU64(b, 0));
}

Decimal decodeDecimal(std::span<const std::uint8_t> b, const ColumnDefinition& column) {
    Decimal d;
    d.negative = (readU8(b, 0) & 0x80) != 0;
    // Four little-endian words, the most significant first.
    for (std::size_t i = 0; i < 4; ++i) d.words[i] = readU32(b, 1 + 4 * i);
    d.precision = column.precision;
    d.scale = column.scale;
    return d;
}

std::u16string decodeText(std::span<const std::uint8_t> bytes, const Format& f) {
    return f.version == JetVersion::Jet3 ? decodeCp1252(bytes) : decodeJet4Text(bytes);
}

}  // namespace

std::vector<FieldLocation> locateFields(std::span<const std::uint8_t> row, const TableDefinition& table,
                                        const Format& f) {
    if (row.size() < f.rowCountSize) throw CorruptData("a row is empty");
    const std::uint32_t rowColumns = f.rowCountSize == 1 ? readU8(row, 0) : readU16(row, 0);
    const std::size_t maskSize = (rowColumns + 7) / 8;
    if (maskSize + f.rowCountSize > row.size()) throw CorruptData("a row is too short for its null mask");
    const auto mask = row.subspan(row.size() - maskSize);

    std::uint32_t rowVarCount = 0;
    std::vector<std::uint32_t> offsets;
    if (table.variableColumnCount > 0) {
        rowVarCount = f.rowOffsetSize == 1 ? readU8(row, row.size() - maskSize - 1)
                                           : readU16(row, row.size() - maskSize - 2);
        offsets = f.version == JetVersion::Jet3 ? variableOffsetsJet3(row, maskSize, rowVarCount)
                                                : variableOffsetsJet4(row, maskSize, rowVarCount);
    }
    const std::uint32_t rowFixedCount = rowColumns >= rowVarCount ? rowColumns - rowVarCount : 0;

    std::vector<FieldLocation> fields(table.columns.size());
    std::uint32_t fixedFound = 0;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const auto& column = table.columns[i];
        auto& field = fields[i];
        const bool present = column.number < rowColumns;
        if (column.type == ColumnType::Boolean) {
            field.isNull = false;
            field.bit = present && maskBit(mask, column.number);
            continue;
        }
        field.isNull = !present || !maskBit(mask, column.number);
        if (column.isFixed()) {
            if (fixedFound++ >= rowFixedCount) field.isNull = true;
            if (field.isNull) continue;
            const std::uint32_t size = fixedSizeOf(column.type) ? fixedSizeOf(column.type) : column.size;
            field.bytes = slice(row, f.rowCountSize + column.fixedOffset, size);
        } else if (column.variableIndex < rowVarCount) {
            if (field.isNull) continue;
            const std::uint32_t start = offsets[column.variableIndex];
            const std::uint32_t end = offsets[column.variableIndex + 1];
            if (start > end || end > row.size()) throw CorruptData("a variable-length column has an impossible extent");
            field.bytes = row.subspan(start, end - start);
        } else {
            field.isNull = true;
        }
    }
    return fields;
}

Value decodeField(const FieldLocation& field, const ColumnDefinition& column, const Format& f, PageFile& pages) {
    if (column.type == ColumnType::Boolean) return field.bit;
    if (field.isNull) return Null{};
    const auto b = field.bytes;
    switch (column.type) {
    case ColumnType::Boolean: return field.bit;
    case ColumnType::Byte: return readU8(b, 0);
    case ColumnType::Integer: return readAs<std::int16_t>(b);
    case ColumnType::Long: return readAs<std::int32_t>(b);
    case ColumnType::Currency: return Currency{readAs<std::int64_t>(b)};
    case ColumnType::Single: return readAs<float>(b);
    case ColumnType::Double: return readAs<double>(b);
    case ColumnType::DateTime: return DateTime{readAs<double>(b)};
    case ColumnType::GUID: {
        Guid g;
        auto s = slice(b, 0, 16);
        std::copy(s.begin(), s.end(), g.bytes.begin());
        return g;
    }
    case ColumnType::Numeric: return decodeDecimal(b, column);
    case ColumnType::Binary: return Bytes(b.begin(), b.end());
    case ColumnType::Text: return decodeText(b, f);
    case ColumnType::OLE: return readLongValue(pages, f, b);
    case ColumnType::Memo: return decodeText(readLongValue(pages, f, b), f);
    }
    return Bytes(b.begin(), b.end());
}

std::vector<Value> decodeRow(std::span<const std::uint8_t> row, const TableDefinition& table, const Format& f,
                             PageFile& pages) {
    const auto fields = locateFields(row, table, f);
    std::vector<Value> values;
    values.reserve(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i) values.push_back(decodeField(fields[i], table.columns[i], f, pages));
    return values;
}

}  // namespace zestrel::jet
