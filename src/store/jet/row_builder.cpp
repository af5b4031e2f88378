#include "store/jet/row_builder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <type_traits>

#include "text/utf8.h"

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

template <typename T>
void storeLittleEndian(std::uint8_t* to, T value) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(to, &value, sizeof(T));
    } else {
        using U = std::conditional_t<sizeof(T) == 2, std::uint16_t,
                                     std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>;
        const U bits = std::bit_cast<U>(value);
        for (std::size_t i = 0; i < sizeof(T); ++i) to[i] = static_cast<std::uint8_t>(bits >> (8 * i));
    }
}

// A value of another kind than its column's type is refused, never read as something else.
template <typename T>
const T& valueAs(const Value& v) {
    if (const T* value = std::get_if<T>(&v)) return *value;
    throw CorruptData("a value does not have its column's type");
}

void writeFixed(std::uint8_t* to, const Value& v, ColumnType type) {
    switch (type) {
    case ColumnType::Byte: *to = valueAs<std::uint8_t>(v); return;
    case ColumnType::Integer: return storeLittleEndian(to, valueAs<std::int16_t>(v));
    case ColumnType::Long: return storeLittleEndian(to, valueAs<std::int32_t>(v));
    case ColumnType::Currency: return storeLittleEndian(to, valueAs<Currency>(v).tenThousandths);
    case ColumnType::Single: return storeLittleEndian(to, valueAs<float>(v));
    case ColumnType::Double: return storeLittleEndian(to, valueAs<double>(v));
    case ColumnType::DateTime: return storeLittleEndian(to, valueAs<DateTime>(v).days);
    case ColumnType::GUID: {
        const auto& g = valueAs<Guid>(v).bytes;
        std::copy(g.begin(), g.end(), to);
        return;
    }
    default: throw CorruptData("a column type this engine does not write");
    }
}

// A text given as characters is encoded into the code page; one given as stored bytes is copied.
void writeVariable(std::uint8_t* to, const Value& v, ColumnType type) {
    if (type == ColumnType::Text)
        if (const auto* text = std::get_if<std::u16string>(&v)) {
            if (text::westernEuropean().encode(*text, to) != text->size())
                throw CorruptData("a text is not in the form it is stored in");
            return;
        }
    copyBytes(std::get<Bytes>(v), to);
}

}  // namespace

std::size_t storedLength(const Value& value, ColumnType type) {
    if (isNull(value)) return 0;
    if (type == ColumnType::Text)
        if (const auto* text = std::get_if<std::u16string>(&value)) return text->size();
    return std::get<Bytes>(value).size();
}

std::size_t rowSizeJet3(const RowLayout& layout, std::size_t variableBytes) {
    std::size_t jumps = 0;
    const RowFrame& frame = layout.frame();
    return rowSize(frame.fixedArea, layout.variableColumnCount(), (frame.columns + 7) / 8, variableBytes, jumps);
}

// The row is sized first and then written in place: the parts' sizes are all known up front.
// Each value is looked at once for its presence and length; the second pass only writes.
void buildRowJet3(const RowLayout& layout, RowValues values, std::span<const std::span<const std::uint8_t>> longFields,
                  std::vector<std::uint8_t>& row) {
    using Kind = ColumnPlace::Kind;
    const auto& places = layout.places();
    const RowFrame& frame = layout.frame();
    const std::size_t varCount = layout.variableColumnCount();
    if (frame.columns > kMaxColumns || varCount >= kMaxColumns || places.size() > kMaxColumns)
        throw CorruptData("a table has more columns than a row holds");
    const std::size_t maskSize = (frame.columns + 7) / 8;
    std::array<int, kMaxColumns> variable;  // the column in each place of the offset table, -1 when null
    std::fill_n(variable.begin(), varCount, -1);
    std::array<std::uint32_t, kMaxColumns> lengths;  // each present variable-length column's stored length
    std::array<std::uint8_t, kMaxColumns / 8> mask{};
    std::size_t variableBytes = 0;
    bool anyFixed = false;
    for (std::size_t i = 0; i < places.size(); ++i) {
        const ColumnPlace& p = places[i];
        const Value& v = *values[i];
        if (isNull(v)) continue;
        if (p.kind == Kind::Bit) {
            if (!std::get<bool>(v)) continue;
        } else if (p.kind == Kind::Fixed) {
            anyFixed = true;
        } else if (p.index < varCount) {
            variable[p.index] = static_cast<int>(i);
            lengths[i] = static_cast<std::uint32_t>(isLongValue(p.type) ? longFields[i].size() : storedLength(v, p.type));
            variableBytes += lengths[i];
        }
        mask[p.number / 8] |= static_cast<std::uint8_t>(1u << (p.number % 8));
    }
    std::size_t jumps = 0;
    const std::size_t size = rowSize(frame.fixedArea, varCount, maskSize, variableBytes, jumps);
    row.assign(size, 0);
    std::uint8_t* const start = row.data();
    start[0] = static_cast<std::uint8_t>(frame.columns);
    if (anyFixed)
        for (std::size_t i = 0; i < places.size(); ++i)
            if (places[i].kind == Kind::Fixed && !isNull(*values[i]))
                writeFixed(start + places[i].offset, *values[i], places[i].type);
    std::uint8_t* at = start + 1 + frame.fixedArea;
    if (varCount > 0) {
        std::array<std::size_t, kMaxColumns + 1> offsets;
        for (std::size_t v = 0; v < varCount; ++v) {
            offsets[v] = static_cast<std::size_t>(at - start);
            if (variable[v] < 0) continue;
            const auto i = static_cast<std::size_t>(variable[v]);
            if (isLongValue(places[i].type)) copyBytes(longFields[i], at);
            else writeVariable(at, *values[i], places[i].type);
            at += lengths[i];
        }
        offsets[varCount] = static_cast<std::size_t>(at - start);
        at = writeOffsetTable(at, std::span<const std::size_t>(offsets.data(), varCount + 1), varCount, jumps);
    }
    std::copy_n(mask.begin(), maskSize, at);
    // The arithmetic that sizes the row must agree with the parts written.
    if (at + maskSize != start + size) throw CorruptData("a row was laid out inconsistently");
}

}  // namespace zestrel::jet
