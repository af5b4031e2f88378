#include "store/jet/row_decoder.h"

#include <algorithm>
#include <array>
#include <bit>

#include "store/jet/long_value.h"
#include "store/jet/jet4_text.h"
#include "text/utf8.h"

namespace zestrel::jet {

namespace {

// Jet 3: one-byte offsets, counted in 256-byte segments by the jump table. offsets[0..wanted], where
// `wanted` is at most varCount (all of them).
void variableOffsetsJet3(std::span<const std::uint8_t> row, std::size_t maskSize, std::uint32_t varCount,
                         std::uint32_t wanted, std::uint32_t* offsets) {
    const std::size_t last = row.size() - 1;
    std::size_t jumps = (row.size() - 1) / 256;
    if (last < maskSize + jumps + 1) throw CorruptData("a row is too short for its offset table");
    const std::size_t tableEnd = last - maskSize - jumps - 1;  // position of the first offset
    if (tableEnd < varCount) throw CorruptData("a row is too short for its offset table");
    if (jumps > 0 && (tableEnd - varCount) / 256 < jumps) --jumps;  // the last jump entry is a filler
    // Every position read below lies between the offset table's start and the mask: checked above.
    const std::uint8_t* table = row.data() + tableEnd;
    if (jumps == 0) {  // a row under 256 bytes: nearly every row
        for (std::uint32_t i = 0; i <= wanted; ++i) offsets[i] = *(table - i);
        return;
    }
    const std::uint8_t* jumpTable = row.data() + last - maskSize - 1;
    std::size_t jumpsUsed = 0;
    for (std::uint32_t i = 0; i <= wanted; ++i) {
        while (jumpsUsed < jumps && i == *(jumpTable - jumpsUsed)) ++jumpsUsed;
        offsets[i] = *(table - i) + static_cast<std::uint32_t>(jumpsUsed * 256);
    }
}

void variableOffsetsJet4(std::span<const std::uint8_t> row, std::size_t maskSize, std::uint32_t wanted,
                         std::uint32_t* offsets) {
    const std::size_t last = row.size() - 1;
    for (std::uint32_t i = 0; i <= wanted; ++i) {
        const std::size_t at = last - maskSize - 3 - 2 * static_cast<std::size_t>(i);
        if (at > last) throw CorruptData("a row is too short for its offset table");
        offsets[i] = readU16(row, at);
    }
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
    return f.version == JetVersion::Jet3 ? codePageOf(f).decode(bytes) : decodeJet4Text(bytes);
}

}  // namespace

namespace {

constexpr std::uint32_t kAllOffsets = 0xFFFFFFFF;

// What a row says about itself: its column count, null mask and variable-length offsets.
class RowShape {
public:
    // The variable-length offsets are read up to the `offsetsWanted`-th: a reader after one
    // fixed-length column needs none, one after one variable-length column those up to its end.
    RowShape(std::span<const std::uint8_t> row, bool hasVariableColumns, const Format& f, std::uint32_t offsetsWanted)
        : row_(row), f_(f) {
        // Rows fill a page from its end towards its start: the next row read lies just before
        // this one, and is asked of memory now (a hint, which faults on nothing).
        __builtin_prefetch(row.data() - 64);
        __builtin_prefetch(row.data() - 128);
        if (row.size() < f.rowCountSize) throw CorruptData("a row is empty");
        columns_ = f.rowCountSize == 1 ? readU8(row, 0) : readU16(row, 0);
        const std::size_t maskSize = (columns_ + 7) / 8;
        if (maskSize + f.rowCountSize > row.size()) throw CorruptData("a row is too short for its null mask");
        mask_ = row.data() + row.size() - maskSize;
        if (hasVariableColumns) {
            varCount_ = f.rowOffsetSize == 1 ? readU8(row, row.size() - maskSize - 1)
                                             : readU16(row, row.size() - maskSize - 2);
            if (offsetsWanted > 0) readOffsets(maskSize, std::min(varCount_, offsetsWanted - 1));
        }
        fixedCount_ = columns_ >= varCount_ ? columns_ - varCount_ : 0;
    }
    RowShape(const RowShape&) = delete;
    RowShape& operator=(const RowShape&) = delete;

    // Whether every fixed-length column (they end by `fixedEnd`) and every variable-length one lies
    // within the row, all offsets read: then so does each column present, as locate() finds it.
    bool allWithin(std::size_t fixedEnd) const {
        if (fixedEnd > row_.size()) return false;
        for (std::uint32_t i = 0; i < varCount_; ++i)
            if (offsets_[i] > offsets_[i + 1]) return false;
        return varCount_ == 0 || offsets_[varCount_] <= row_.size();
    }

    FieldLocation locate(const ColumnPlace& place) const {
        FieldLocation field;
        const bool present = place.number < columns_ && maskBit(place.number);
        if (place.kind == ColumnPlace::Kind::Bit) {
            field.isNull = false;
            field.bit = present;
            return field;
        }
        // A row written before columns were added holds fewer fixed-length columns and fewer offsets.
        if (!present) return field;
        if (place.kind == ColumnPlace::Kind::Fixed) {
            if (place.index >= fixedCount_) return field;
            field.bytes = slice(row_, place.offset, place.size);
        } else {
            if (place.index >= varCount_) return field;
            const std::uint32_t start = offsets_[place.index];
            const std::uint32_t end = offsets_[place.index + 1];
            if (start > end || end > row_.size()) throw CorruptData("a variable-length column has an impossible extent");
            field.bytes = row_.subspan(start, end - start);
        }
        field.isNull = false;
        return field;
    }

private:
    bool maskBit(std::uint32_t number) const { return (mask_[number / 8] & (1u << (number % 8))) != 0; }

    void readOffsets(std::size_t maskSize, std::uint32_t wanted) {
        // A Jet 3 row counts its variable-length columns in one byte: its offsets fit on the stack.
        if (f_.version == JetVersion::Jet3) {
            variableOffsetsJet3(row_, maskSize, varCount_, wanted, offsets_);
        } else {
            longOffsets_.resize(wanted + 1);
            offsets_ = longOffsets_.data();
            variableOffsetsJet4(row_, maskSize, wanted, offsets_);
        }
    }

    std::span<const std::uint8_t> row_;
    const Format& f_;
    std::uint32_t columns_ = 0;
    const std::uint8_t* mask_ = nullptr;  // the last (columns_ + 7) / 8 bytes of the row
    std::uint32_t varCount_ = 0;
    std::uint32_t fixedCount_ = 0;
    std::array<std::uint32_t, 257> shortOffsets_;
    std::vector<std::uint32_t> longOffsets_;
    std::uint32_t* offsets_ = shortOffsets_.data();
};

// Counted and addressed once: the loop's stores would otherwise make the compiler read the
// vectors' bounds again for every column.
void locateEvery(const RowShape& shape, const std::vector<ColumnPlace>& places, std::vector<FieldLocation>& fields) {
    const std::size_t count = places.size();
    fields.resize(count);
    const ColumnPlace* place = places.data();
    FieldLocation* field = fields.data();
    for (std::size_t i = 0; i < count; ++i) field[i] = shape.locate(place[i]);
}

}  // namespace

RowLocator::RowLocator(const TableDefinition& table, const Format& format) : format_(format), layout_(table, format) {
    for (const ColumnPlace& place : layout_.places())
        if (place.kind == ColumnPlace::Kind::Fixed) fixedEnd_ = std::max<std::size_t>(fixedEnd_, place.offset + place.size);
}

void RowLocator::locateSome(std::span<const std::uint8_t> row, std::span<const std::size_t> positions,
                            std::vector<FieldLocation>& fields) const {
    const auto& places = layout_.places();
    const RowShape shape(row, layout_.variableColumnCount() > 0, format_, kAllOffsets);
    if (!shape.allWithin(fixedEnd_)) return locateEvery(shape, places, fields);
    fields.resize(places.size());
    for (const std::size_t i : positions) fields[i] = shape.locate(places[i]);
}

void RowLocator::operator()(std::span<const std::uint8_t> row, std::vector<FieldLocation>& fields) const {
    const auto& places = layout_.places();
    const RowShape shape(row, layout_.variableColumnCount() > 0, format_, kAllOffsets);
    locateEvery(shape, places, fields);
}

ColumnLocator::ColumnLocator(const TableDefinition& table, const Format& format, std::size_t column)
    : format_(format), hasVariableColumns_(table.variableColumnCount > 0),
      place_(RowLayout(table, format).places().at(column)) {}

FieldLocation ColumnLocator::operator()(std::span<const std::uint8_t> row) const {
    const RowShape shape(row, hasVariableColumns_, format_,
                         place_.kind == ColumnPlace::Kind::Variable ? place_.index + 2 : 0);
    return shape.locate(place_);
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

std::vector<Value> decodeRow(std::span<const std::uint8_t> row, const TableDefinition& table, const RowLocator& locate,
                             PageFile& pages) {
    std::vector<FieldLocation> fields;
    locate(row, fields);
    std::vector<Value> values;
    values.reserve(fields.size());
    for (std::size_t i = 0; i < fields.size(); ++i)
        values.push_back(decodeField(fields[i], table.columns[i], locate.format(), pages));
    return values;
}

}  // namespace zestrel::jet
