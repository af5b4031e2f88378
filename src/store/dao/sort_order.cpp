#include "store/dao/sort_order.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <numeric>
#include <optional>
#include <stdexcept>

#include "platform/file.h"
#include "platform/file_replace.h"
#include "platform/file_system.h"
#include "store/dao/variant.h"
#include "store/jet/failure.h"
#include "store/jet/row_decoder.h"
#include "store/jet/sort_key.h"

namespace zestrel::dao {

namespace {

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

// The order of keys given one after another. Each key is kept as its first twelve bytes
// (big-endian, zero-padded) beside its position, and its length; only the bytes of longer keys
// are kept past that, one after another in one buffer. Most comparisons end at the prefixes, and a
// table whose keys are short (codes, numbers as text) keeps no buffer at all.
class KeyTable {
public:
    // Room for as many keys as the table is expected to hold, so that the table is not moved while it fills.
    explicit KeyTable(std::size_t expected) {
        entries_.reserve(expected);
        lengths_.reserve(expected);
    }
    // Where the next key is written; endKey() takes it from there.
    std::string& buffer() { return longKeys_; }
    void endKey() {
        const auto position = static_cast<std::uint32_t>(entries_.size());
        const std::string_view key = std::string_view(longKeys_).substr(keyStart_);
        const std::string_view rest = key.substr(std::min<std::size_t>(key.size(), 8));
        entries_.push_back({bigEndian(key, 8), static_cast<std::uint32_t>(bigEndian(rest, 4)), position});
        lengths_.push_back(static_cast<std::uint8_t>(std::min<std::size_t>(key.size(), kLong)));
        if (key.size() <= kPrefixBytes) {
            longKeys_.resize(keyStart_);
            return;
        }
        if (longKeys_.size() > std::numeric_limits<std::uint32_t>::max())
            throw Failure(failure::runtime::kOutOfMemory, "Out of memory: the values to sort by exceed 4 GB.");
        longStarts_.push_back({position, static_cast<std::uint32_t>(keyStart_)});
        keyStart_ = longKeys_.size();
    }

    std::size_t size() const { return entries_.size(); }

    // What `at` holds, in the order of the keys given for its entries, equal keys in the order given.
    jet::RowList order(const std::vector<std::uint32_t>& at) {
        sort();
        jet::RowList sorted;
        for (const Entry& entry : entries_) sorted.push_back(at[entry.position]);
        return sorted;
    }

    // Sorts, then gives `visit` each key with what `at` holds for it, in order.
    template <typename Visit>
    void forEachInOrder(const std::vector<std::uint32_t>& at, Visit&& visit) {
        sort();
        std::string key;
        for (const Entry& entry : entries_) {
            const std::uint8_t length = lengths_[entry.position];
            if (length == kLong) {
                visit(longKey(entry.position), at[entry.position]);
                continue;
            }
            key.clear();
            for (std::size_t i = 0; i < length; ++i)
                key.push_back(static_cast<char>(i < 8 ? entry.first >> (56 - 8 * i) : entry.second >> (88 - 8 * i)));
            visit(std::string_view(key), at[entry.position]);
        }
    }

private:
    void sort() {
        std::sort(entries_.begin(), entries_.end(), [&](const Entry& a, const Entry& b) {
            if (a.first != b.first) return a.first < b.first;
            if (a.second != b.second) return a.second < b.second;
            // Alike in their first twelve bytes, a key no longer than that is the other without its
            // trailing zeros, or the other one's start: the shorter comes first.
            const std::uint8_t lengthA = lengths_[a.position];
            const std::uint8_t lengthB = lengths_[b.position];
            if (lengthA != kLong || lengthB != kLong)
                return lengthA < lengthB || (lengthA == lengthB && a.position < b.position);
            const int byKey = longKey(a.position).compare(longKey(b.position));
            return byKey < 0 || (byKey == 0 && a.position < b.position);
        });
    }

    static constexpr std::size_t kPrefixBytes = 12;
    static constexpr std::uint8_t kLong = kPrefixBytes + 1;  // the length of every longer key

    struct Entry {
        std::uint64_t first;   // bytes 0-7
        std::uint32_t second;  // bytes 8-11
        std::uint32_t position;
    };
    struct LongKey {
        std::uint32_t position;
        std::uint32_t start;
    };

    // The first `bytes` bytes of a key as a big-endian number, zero-padded.
    static std::uint64_t bigEndian(std::string_view key, std::size_t bytes) {
        std::uint64_t prefix = 0;
        for (std::size_t i = 0; i < bytes; ++i)
            prefix = (prefix << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
        return prefix;
    }

    std::string_view longKey(std::uint32_t position) const {
        const auto at = std::lower_bound(longStarts_.begin(), longStarts_.end(), position,
                                         [](const LongKey& k, std::uint32_t p) { return k.position < p; });
        const std::size_t end = at + 1 == longStarts_.end() ? longKeys_.size() : (at + 1)->start;
        return std::string_view(longKeys_).substr(at->start, end - at->start);
    }

    std::vector<Entry> entries_;
    std::vector<std::uint8_t> lengths_;  // by position, up to kLong
    std::string longKeys_;
    std::size_t keyStart_ = 0;         // where the key being written starts in longKeys_
    std::vector<LongKey> longStarts_;  // by position
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
    const jet::FieldLocation field = locate(row);
    // A Jet 3 text of digits and plain letters keys straight from its stored bytes.
    if (column.type == jet::ColumnType::Text && !field.isNull && file.format().version == jet::JetVersion::Jet3 &&
        !jet::codePageOf(file.format()).doubleByte()) {
        out.push_back(kValueTag);
        if (jet::appendPlainSortKey(field.bytes, out)) return;
        out.pop_back();
    }
    appendSortKey(jet::decodeField(field, column, file.format(), file.pages()), out);
}

// A number column's key, compared without being written out: Null first, then the numbers in
// order, as their keys order.
struct NumberKeys {
    using Key = std::optional<std::uint64_t>;
    static void read(jet::DatabaseFile& file, const jet::ColumnLocator& locate, const jet::ColumnDefinition& column,
                     std::span<const std::uint8_t> row, Key& key) {
        const jet::FieldLocation field = locate(row);
        // A whole number (the usual key) is read without a Value of its own.
        if (const auto number = jet::wholeNumberOf(field, column)) key = orderedBits(static_cast<double>(*number));
        else key = numberKey(jet::decodeField(field, column, file.format(), file.pages()));
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

// The parts of a sort too large to keep whole: each part's keys, sorted, written one after
// another into one file as records (the key's length, the key, the row's location), then merged.
// The file is removed when the sort is done, also when it fails.
class SpilledParts {
public:
    explicit SpilledParts(const std::filesystem::path& folder)
        : path_(platform::temporaryPathFor(folder / "tempdb_sort.bin")) {
        platform::removeFile(path_);  // what a run that died left
        file_.emplace(platform::File::open(path_, platform::OpenMode::CreateNewPrivate));
    }
    SpilledParts(const SpilledParts&) = delete;
    SpilledParts& operator=(const SpilledParts&) = delete;
    ~SpilledParts() {
        try {
            file_->close();
        } catch (...) {
            // Only ever read back by this sort: nothing is lost with it.
        }
        platform::discardFile(path_);
    }

    // Writes the part `keys` holds, sorted, and empties it.
    void write(KeyTable& keys, const std::vector<std::uint32_t>& at) {
        const std::uint64_t start = written_ + buffer_.size();
        keys.forEachInOrder(at, [&](std::string_view key, std::uint32_t location) {
            appendWord(static_cast<std::uint32_t>(key.size()));
            buffer_.append(key);
            appendWord(location);
            if (buffer_.size() >= kBufferBytes) flush();
        });
        flush();
        parts_.push_back({start, written_});
    }

    // The locations of every part's rows, merged in the order of their keys; equal keys in the
    // order of their parts, which is the order the rows were given in.
    jet::RowList merge() {
        std::vector<Reader> readers;
        readers.reserve(parts_.size());
        for (const auto& [start, end] : parts_) readers.emplace_back(*file_, start, end);
        std::vector<Reader*> live;
        for (auto& reader : readers)
            if (reader.next()) live.push_back(&reader);
        jet::RowList sorted;
        while (!live.empty()) {
            std::size_t least = 0;
            for (std::size_t i = 1; i < live.size(); ++i)
                if (live[i]->key() < live[least]->key()) least = i;
            sorted.push_back(live[least]->location());
            if (!live[least]->next()) live.erase(live.begin() + static_cast<std::ptrdiff_t>(least));
        }
        return sorted;
    }

private:
    static constexpr std::size_t kBufferBytes = 64 << 10;

    // Reads one part's records through a buffer of its own.
    class Reader {
    public:
        Reader(const platform::File& file, std::uint64_t start, std::uint64_t end)
            : file_(&file), at_(start), end_(end) {}
        // Reads the next record; false after the last.
        bool next() {
            if (at_ == end_ && used_ == buffer_.size()) return false;
            std::uint32_t length = 0;
            read(&length, sizeof length);
            key_.resize(length);
            read(key_.data(), length);
            read(&location_, sizeof location_);
            return true;
        }
        std::string_view key() const { return key_; }
        std::uint32_t location() const { return location_; }

    private:
        void read(void* out, std::size_t bytes) {
            auto* to = static_cast<char*>(out);
            while (bytes > 0) {
                if (used_ == buffer_.size()) refill();
                const std::size_t piece = std::min(bytes, buffer_.size() - used_);
                std::memcpy(to, buffer_.data() + used_, piece);
                used_ += piece;
                to += piece;
                bytes -= piece;
            }
        }
        void refill() {
            const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(kBufferBytes, end_ - at_));
            if (piece == 0) throw Failure(failure::kDiskIoError, "Disk or network error: a part of a sort read back short.");
            buffer_.resize(piece);
            file_->readAt(at_, std::span(reinterpret_cast<std::uint8_t*>(buffer_.data()), piece));
            at_ += piece;
            used_ = 0;
        }

        const platform::File* file_;
        std::uint64_t at_;  // the next byte to read into the buffer
        std::uint64_t end_;
        std::string buffer_;
        std::size_t used_ = 0;
        std::string key_;
        std::uint32_t location_ = 0;
    };

    void appendWord(std::uint32_t word) {
        char bytes[sizeof word];
        std::memcpy(bytes, &word, sizeof word);
        buffer_.append(bytes, sizeof bytes);
    }
    void flush() {
        file_->writeAt(written_, std::span(reinterpret_cast<const std::uint8_t*>(buffer_.data()), buffer_.size()));
        written_ += buffer_.size();
        buffer_.clear();
    }

    std::filesystem::path path_;
    std::optional<platform::File> file_;
    std::string buffer_;
    std::uint64_t written_ = 0;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> parts_;  // where each part starts and ends
};

}  // namespace

// About 21 bytes a row are held for the part being read.
jet::RowList sortedLocations(jet::DatabaseFile& file, const jet::TableDefinition& table, std::size_t column,
                             const SortSpill& spill) {
    if (column >= table.columns.size()) throw std::out_of_range("no such column to sort by");
    if (auto inOrder = locationsIfInOrder(file, table, column)) return std::move(*inOrder);
    const std::size_t partRows = spill.folder.empty() ? SIZE_MAX : std::max<std::size_t>(spill.rowsInMemory, 1);
    const std::size_t expected = std::min(jet::expectedRows(table), partRows);
    std::vector<std::uint32_t> locations;  // of the part being read, in the order walked, as its keys' positions
    locations.reserve(expected);
    std::optional<KeyTable> keys(std::in_place, expected);
    std::optional<SpilledParts> parts;
    const jet::ColumnLocator locate(table, file.format(), column);
    file.forEachRow(table, [&](jet::RowPointer at, std::span<const std::uint8_t> row) {
        if (keys->size() == partRows) {
            if (!parts) parts.emplace(spill.folder);
            parts->write(*keys, locations);
            locations.clear();
            keys.emplace(expected);
        }
        appendKeyOfRow(file, locate, table.columns[column], row, keys->buffer());
        keys->endKey();
        locations.push_back(at.encode());
    });
    if (!parts) return keys->order(locations);
    parts->write(*keys, locations);
    keys.reset();
    locations = {};
    return parts->merge();
}

}  // namespace zestrel::dao
