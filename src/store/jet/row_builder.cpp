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

// The first and the last Word of n bytes, which together cover n from one Word up to two.
template <typename Word>
void copyEnds(std::uint8_t* to, const std::uint8_t* from, std::size_t n) {
    Word head;
    Word tail;
    std::memcpy(&head, from, sizeof head);
    std::memcpy(&tail, from + n - sizeof tail, sizeof tail);
    std::memcpy(to, &head, sizeof head);
    std::memcpy(to + n - sizeof tail, &tail, sizeof tail);
}

// Copies a few bytes without a call: most fields are short.
void copyShort(std::uint8_t* to, const std::uint8_t* from, std::size_t n) {
    if (n > 16) {
        std::memcpy(to, from, n);
    } else if (n >= 8) {
        copyEnds<std::uint64_t>(to, from, n);
    } else if (n >= 4) {
        copyEnds<std::uint32_t>(to, from, n);
    } else if (n > 0) {
        to[0] = from[0];
        to[n / 2] = from[n / 2];
        to[n - 1] = from[n - 1];
    }
}

// One variable-length column's part of a row: stored bytes (a long value's field, binary, a text
// as stored), or a text given as characters, encoded where it goes. Absent: null, or not given.
// Trivial, so that a row's array of them is set only as far as it has variable-length columns.
struct Piece {
    const std::uint8_t* bytes;
    const std::u16string* text;
    std::size_t length;
    bool present;

    static Piece of(std::span<const std::uint8_t> stored) { return {stored.data(), nullptr, stored.size(), true}; }
    static Piece of(const Value& v, ColumnType type) {
        if (type == ColumnType::Text)
            if (const auto* text = std::get_if<std::u16string>(&v)) return {nullptr, text, text->size(), true};
        return of(std::span<const std::uint8_t>(std::get<Bytes>(v)));
    }
    // Writes the part from `at`; returns where it ends.
    std::uint8_t* writeTo(std::uint8_t* at) const {
        if (!present) return at;
        if (text) {
            if (text::westernEuropean().encode(*text, at) != length) throw CorruptData("a text is not in the form it is stored in");
        } else {
            copyShort(at, bytes, length);
        }
        return at + length;
    }
};

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
// Each value is looked at once, for its presence, its bytes and its null-mask bit; the second pass
// only copies.
void buildRowJet3(const RowLayout& layout, RowValues values, std::span<const std::span<const std::uint8_t>> longFields,
                  std::vector<std::uint8_t>& row) {
    using Kind = ColumnPlace::Kind;
    const auto& places = layout.places();
    const RowFrame& frame = layout.frame();
    const std::size_t varCount = layout.variableColumnCount();
    const std::size_t count = places.size();
    if (frame.columns > kMaxColumns || varCount >= kMaxColumns || count > kMaxColumns)
        throw CorruptData("a table has more columns than a row holds");
    const std::size_t maskSize = (frame.columns + 7) / 8;
    std::array<Piece, kMaxColumns> pieces;  // by place in the offset table
    std::fill_n(pieces.begin(), varCount, Piece{nullptr, nullptr, 0, false});
    std::array<std::uint8_t, kMaxColumns / 8> mask{};
    std::size_t variableBytes = 0;
    bool anyFixed = false;
    const ColumnPlace* place = places.data();
    for (std::size_t i = 0; i < count; ++i) {
        const ColumnPlace& p = place[i];
        const Value& v = *values[i];
        if (isNull(v)) continue;
        if (p.kind == Kind::Bit) {
            if (!std::get<bool>(v)) continue;
        } else if (p.kind == Kind::Fixed) {
            anyFixed = true;
        } else if (p.index < varCount) {
            Piece& piece = pieces[p.index];
            piece = isLongValue(p.type) ? Piece::of(longFields[i]) : Piece::of(v, p.type);
            variableBytes += piece.length;
        }
        mask[p.number / 8] |= static_cast<std::uint8_t>(1u << (p.number % 8));
    }
    std::size_t jumps = 0;
    const std::size_t size = rowSize(frame.fixedArea, varCount, maskSize, variableBytes, jumps);
    row.assign(size, 0);
    std::uint8_t* const start = row.data();
    start[0] = static_cast<std::uint8_t>(frame.columns);
    if (anyFixed)
        for (std::size_t i = 0; i < count; ++i)
            if (place[i].kind == Kind::Fixed && !isNull(*values[i]))
                writeFixed(start + place[i].offset, *values[i], place[i].type);
    std::uint8_t* at = start + 1 + frame.fixedArea;
    if (varCount > 0) {
        std::array<std::size_t, kMaxColumns + 1> offsets;
        for (std::size_t v = 0; v < varCount; ++v) {
            offsets[v] = static_cast<std::size_t>(at - start);
            at = pieces[v].writeTo(at);
        }
        offsets[varCount] = static_cast<std::size_t>(at - start);
        at = writeOffsetTable(at, std::span<const std::size_t>(offsets.data(), varCount + 1), varCount, jumps);
    }
    std::copy_n(mask.begin(), maskSize, at);
    // The arithmetic that sizes the row must agree with the parts written.
    if (at + maskSize != start + size) throw CorruptData("a row was laid out inconsistently");
}

}  // namespace zestrel::jet
