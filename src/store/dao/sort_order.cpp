#include "store/dao/sort_order.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <numeric>
#include <optional>
#include <stdexcept>

#include "store/dao/variant.h"
#include "store/jet/failure.h"
#include "store/jet/row_decoder.h"
#include "store/jet/sort_key.h"

namespace zestrel::dao {

namespace {

constexpr std::int32_t kOutOfMemory = 7;
constexpr char kNullTag = 0;
constexpr char kValueTag = 1;

void appendBigEndian(std::uint64_t bits, std::string& out) {
    char bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>(static_cast<std::uint8_t>(bits >> (56 - 8 * i)));
    out.append(bytes, sizeof bytes);
}

// A double as a number in the same order: the sign bit flipped for positives, all bits for negatives.
std::uint64_t orderedBits(double x) {
    if (x == 0) x = 0;  // -0 sorts with 0
    const auto bits = std::bit_cast<std::uint64_t>(x);
    return (bits >> 63) ? ~bits : bits | (std::uint64_t{1} << 63);
}

std::uint64_t orderedBits(std::int64_t x) { return static_cast<std::uint64_t>(x) ^ (std::uint64_t{1} << 63); }

// The key of a number: eight bytes (big-endian) that order as the numbers do; none for a value
// that is not a number, or is Null.
std::optional<std::uint64_t> numberKey(const jet::Value& value) {
    using Key = std::optional<std::uint64_t>;
    return std::visit(jet::Overloaded{
                          [](const jet::Null&) -> Key { return std::nullopt; },
                          [](const std::u16string&) -> Key { return std::nullopt; },
                          [](const jet::Bytes&) -> Key { return std::nullopt; },
                          [](const jet::Guid&) -> Key { return std::nullopt; },
                          [](const jet::Currency& money) -> Key { return orderedBits(money.tenThousandths); },
                          [](bool v) -> Key { return orderedBits(v ? -1.0 : 0.0); },
                          [](std::uint8_t v) -> Key { return orderedBits(static_cast<double>(v)); },
                          [](std::int16_t v) -> Key { return orderedBits(static_cast<double>(v)); },
                          [](std::int32_t v) -> Key { return orderedBits(static_cast<double>(v)); },
                          [](float v) -> Key { return orderedBits(static_cast<double>(v)); },
                          [](double v) -> Key { return orderedBits(v); },
                          [](const jet::DateTime& v) -> Key { return orderedBits(v.days); },
                          [&](const jet::Decimal&) -> Key { return orderedBits(Variant(value).toDouble()); },
                      },
                      value);
}

// Whether every value of a column of this type keys as a number.
bool keysAsNumber(jet::ColumnType type) {
    using T = jet::ColumnType;
    return type != T::Text && type != T::Memo && type != T::Binary && type != T::OLE && type != T::GUID;
}

// The order of keys held one after another in one buffer.
class KeyTable {
public:
    std::string& buffer() { return keys_; }
    void endKey() {
        if (keys_.size() > std::numeric_limits<std::uint32_t>::max())
            throw Failure(kOutOfMemory, "Out of memory: the values to sort by exceed 4 GB.");
        ends_.push_back(static_cast<std::uint32_t>(keys_.size()));
    }

    // Positions 0..n-1 in the order of their keys, equal keys in position order (sorted in
    // place, with the position deciding ties, so that no second buffer is needed).
    std::vector<std::uint32_t> order() const {
        // The first sixteen bytes of each key, big-endian and zero-padded, held beside its length
        // and position, decide most comparisons without touching the keys: they order as the
        // keys do wherever they differ.
        struct Entry {
            std::uint64_t first;
            std::uint64_t second;
            std::uint32_t length;
            std::uint32_t position;
        };
        std::vector<Entry> entries(ends_.size());
        for (std::uint32_t i = 0; i < ends_.size(); ++i) {
            const std::string_view k = key(i);
            entries[i] = {prefixOf(k), prefixOf(k.size() > 8 ? k.substr(8) : std::string_view()),
                          static_cast<std::uint32_t>(k.size()), i};
        }
        std::sort(entries.begin(), entries.end(), [&](const Entry& a, const Entry& b) {
            if (a.first != b.first) return a.first < b.first;
            if (a.second != b.second) return a.second < b.second;
            // Keys no longer than their prefixes differ, if at all, in length: the shorter is the
            // other without its trailing zeros.
            if (a.length <= 16 && b.length <= 16)
                return a.length < b.length || (a.length == b.length && a.position < b.position);
            const int byKey = key(a.position).compare(key(b.position));
            return byKey < 0 || (byKey == 0 && a.position < b.position);
        });
        std::vector<std::uint32_t> positions(entries.size());
        for (std::size_t i = 0; i < entries.size(); ++i) positions[i] = entries[i].position;
        return positions;
    }

private:
    static std::uint64_t prefixOf(std::string_view key) {
        std::uint64_t prefix = 0;
        for (std::size_t i = 0; i < 8; ++i)
            prefix = (prefix << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
        return prefix;
    }

    std::string_view key(std::uint32_t i) const {
        const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
        return std::string_view(keys_).substr(begin, ends_[i] - begin);
    }
    std::string keys_;
    std::vector<std::uint32_t> ends_;  // a table of over 4 GB of keys is refused
};

}  // namespace

void appendSortKey(const jet::Value& value, std::string& out) {
    if (jet::isNull(value)) return out.push_back(kNullTag);
    out.push_back(kValueTag);
    if (const auto number = numberKey(value)) return appendBigEndian(*number, out);
    if (const auto* text = std::get_if<std::u16string>(&value)) return jet::appendGeneralSortKey(*text, out);
    if (const auto* bytes = std::get_if<jet::Bytes>(&value)) {
        out.append(bytes->begin(), bytes->end());
        return;
    }
    const auto& guid = std::get<jet::Guid>(value).bytes;
    out.append(guid.begin(), guid.end());
}

namespace {

void appendKeyOfRow(jet::DatabaseFile& file, const jet::ColumnLocator& locate, const jet::ColumnDefinition& column,
                    std::span<const std::uint8_t> row, std::string& out) {
    appendSortKey(jet::decodeField(locate(row), column, file.format(), file.pages()), out);
}

// A number column's key, compared without being written out: Null first, then the numbers in
// order, as their keys order.
struct NumberKeys {
    using Key = std::optional<std::uint64_t>;
    static void read(jet::DatabaseFile& file, const jet::ColumnLocator& locate, const jet::ColumnDefinition& column,
                     std::span<const std::uint8_t> row, Key& key) {
        key = numberKey(jet::decodeField(locate(row), column, file.format(), file.pages()));
    }
};

// Any other column's key, written out into a buffer kept from row to row.
struct WrittenKeys {
    using Key = std::string;
    static void read(jet::DatabaseFile& file, const jet::ColumnLocator& locate, const jet::ColumnDefinition& column,
                     std::span<const std::uint8_t> row, Key& key) {
        key.clear();
        appendKeyOfRow(file, locate, column, row, key);
    }
};

// Rows often lie in the file in the order asked for (added in that order); then their places
// are the answer and no key need be kept. The walk stops at the first row out of order.
template <typename Keys>
std::optional<jet::RowList> locationsInOrderOf(jet::DatabaseFile& file, const jet::TableDefinition& table,
                                               std::size_t column) {
    jet::RowList locations;
    locations.reserve(jet::expectedRows(table));
    typename Keys::Key previous{};
    typename Keys::Key current{};
    bool inOrder = true;
    const jet::ColumnLocator locate(table, file.format(), column);
    file.forEachRowWhile(table, [&](jet::RowPointer at, std::span<const std::uint8_t> row) {
        Keys::read(file, locate, table.columns[column], row, current);
        inOrder = locations.empty() || previous <= current;
        if (!inOrder) return false;
        std::swap(previous, current);
        locations.push_back(at.encode());
        return true;
    });
    if (!inOrder) return std::nullopt;
    return locations;
}

std::optional<jet::RowList> locationsIfInOrder(jet::DatabaseFile& file, const jet::TableDefinition& table,
                                               std::size_t column) {
    if (keysAsNumber(table.columns[column].type)) return locationsInOrderOf<NumberKeys>(file, table, column);
    return locationsInOrderOf<WrittenKeys>(file, table, column);
}

}  // namespace

jet::RowList sortedLocations(jet::DatabaseFile& file, const jet::TableDefinition& table, std::size_t column) {
    if (column >= table.columns.size()) throw std::out_of_range("no such column to sort by");
    if (auto inOrder = locationsIfInOrder(file, table, column)) return std::move(*inOrder);
    jet::RowList locations;
    KeyTable keys;
    const jet::ColumnLocator locate(table, file.format(), column);
    file.forEachRow(table, [&](jet::RowPointer at, std::span<const std::uint8_t> row) {
        appendKeyOfRow(file, locate, table.columns[column], row, keys.buffer());
        keys.endKey();
        locations.push_back(at.encode());
    });
    jet::RowList sorted = keys.order();
    for (auto& at : sorted) at = locations[at];
    return sorted;
}

}  // namespace zestrel::dao
