#include "upgrade/sorted_records.h"

#include <algorithm>
#include <cstring>
#include <queue>
#include <span>

#include "platform/file_system.h"

namespace zestrel::upgrade {

namespace {

constexpr std::size_t kHeaderBytes = 8;

std::uint32_t readLength(const char* at) {
    std::uint32_t value = 0;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void appendLength(std::string& out, std::size_t length) {
    const auto value = static_cast<std::uint32_t>(length);
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

struct Record {
    std::string_view key;
    std::string_view body;
};

Record recordAt(const char* at) {
    const std::uint32_t keyLength = readLength(at);
    const std::uint32_t bodyLength = readLength(at + 4);
    return {{at + kHeaderBytes, keyLength}, {at + kHeaderBytes + keyLength, bodyLength}};
}

std::size_t recordBytes(const Record& record) { return kHeaderBytes + record.key.size() + record.body.size(); }

// The records of one run, read from the file a buffer at a time.
class RunReader {
public:
    RunReader(const platform::File& file, std::uint64_t begin, std::uint64_t end, std::size_t bufferBytes)
        : file_(file), next_(begin), end_(end), bufferBytes_(bufferBytes) {
        advance();
    }
    bool done() const { return done_; }
    const Record& current() const { return current_; }
    void advance() {
        if (next_ >= end_) {
            done_ = true;
            return;
        }
        if (!holds(kHeaderBytes)) fill(kHeaderBytes);
        const std::size_t whole =
            kHeaderBytes + readLength(buffer_.data() + at_) + readLength(buffer_.data() + at_ + 4);
        if (!holds(whole)) fill(whole);
        current_ = recordAt(buffer_.data() + at_);
        at_ += whole;
        next_ += whole;
    }

private:
    bool holds(std::size_t bytes) const { return at_ + bytes <= buffer_.size(); }
    // Moves what is left of the buffer to its front and reads on, at least `bytes` in all.
    void fill(std::size_t bytes) {
        buffer_.erase(0, at_);
        at_ = 0;
        const std::uint64_t readFrom = next_ + buffer_.size();
        const std::size_t wanted = std::max(bytes, bufferBytes_) - buffer_.size();
        const auto piece = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, end_ - readFrom));
        const std::size_t kept = buffer_.size();
        buffer_.resize(kept + piece);
        file_.readAt(readFrom, std::span(reinterpret_cast<std::uint8_t*>(buffer_.data() + kept), piece));
    }

    const platform::File& file_;
    std::uint64_t next_;  // the file offset of the record after the current one
    std::uint64_t end_;
    std::size_t bufferBytes_;
    std::string buffer_;
    std::size_t at_ = 0;
    Record current_{};
    bool done_ = false;
};

}  // namespace

SortedRecords::~SortedRecords() { removeSpill(); }

void SortedRecords::spillTo(const std::filesystem::path& path) {
    removeSpill();
    platform::removeFile(path);
    spill_.emplace(platform::File::open(path, platform::OpenMode::CreateNewPrivate));
    spillPath_ = path;
    if (!starts_.empty()) spillBatch();
}

void SortedRecords::add(std::string_view key, std::string_view body) {
    if (spill_ && !starts_.empty() && batch_.size() + kHeaderBytes + key.size() + body.size() > batchBytes_) spillBatch();
    starts_.push_back(static_cast<std::uint32_t>(batch_.size()));
    appendLength(batch_, key.size());
    appendLength(batch_, body.size());
    batch_ += key;
    batch_ += body;
    ++count_;
    sorted_ = false;
}

namespace {

// A key's first eight bytes as a number that orders as the bytes do (shorter keys padded with
// zeros): most comparisons of a sort are settled by it without looking at the keys.
std::uint64_t keyPrefix(std::string_view key) {
    std::uint64_t prefix = 0;
    for (std::size_t i = 0; i < 8; ++i)
        prefix = (prefix << 8) | (i < key.size() ? static_cast<unsigned char>(key[i]) : 0u);
    return prefix;
}

// Sorts `items`, which mostly come in order already (the copy makes its changes in rID order): the
// runs already in order are merged, two by two, unless they are so many that sorting is cheaper.
// `before` must order every two items one way, so that the result is the same either way.
template <typename Item, typename Before>
void sortMostlyInOrder(std::vector<Item>& items, const Before& before) {
    std::vector<std::size_t> runStarts{0};
    for (std::size_t i = 1; i < items.size(); ++i)
        if (before(items[i], items[i - 1])) runStarts.push_back(i);
    if (runStarts.size() > 1 + items.size() / 8) return std::sort(items.begin(), items.end(), before);
    runStarts.push_back(items.size());
    while (runStarts.size() > 2) {
        std::vector<std::size_t> merged{0};
        for (std::size_t r = 2; r < runStarts.size(); r += 2) {
            const auto first = items.begin();
            std::inplace_merge(first + runStarts[r - 2], first + runStarts[r - 1], first + runStarts[r], before);
            merged.push_back(runStarts[r]);
        }
        if (merged.back() != items.size()) merged.push_back(items.size());
        runStarts = std::move(merged);
    }
}

}  // namespace

const std::vector<std::uint32_t>& SortedRecords::sortedBatch() const {
    if (sorted_) return order_;
    struct Entry {
        std::uint64_t prefix;
        std::uint32_t start;
    };
    std::vector<Entry> entries;
    entries.reserve(starts_.size());
    for (const std::uint32_t start : starts_) entries.push_back({keyPrefix(recordAt(batch_.data() + start).key), start});
    // Places grow as records are added: the earlier of two equal keys has the smaller place.
    const auto before = [&](const Entry& a, const Entry& b) {
        if (a.prefix != b.prefix) return a.prefix < b.prefix;
        const int compared = recordAt(batch_.data() + a.start).key.compare(recordAt(batch_.data() + b.start).key);
        return compared != 0 ? compared < 0 : a.start < b.start;
    };
    sortMostlyInOrder(entries, before);
    order_.clear();
    order_.reserve(entries.size());
    for (const Entry& entry : entries) order_.push_back(entry.start);
    sorted_ = true;
    return order_;
}

// The sorted batch goes out through a buffer of 256 KB, so that spilling takes no second batch.
void SortedRecords::spillBatch() {
    constexpr std::size_t kPiece = std::size_t{256} << 10;
    const std::uint64_t begin = runs_.empty() ? 0 : runs_.back().end;
    std::uint64_t end = begin;
    std::string piece;
    piece.reserve(kPiece);
    const auto flush = [&] {
        spill_->writeAt(end, std::span(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size()));
        end += piece.size();
        piece.clear();
    };
    for (const std::uint32_t start : sortedBatch()) {
        const std::size_t bytes = recordBytes(recordAt(batch_.data() + start));
        if (piece.size() + bytes > kPiece && !piece.empty()) flush();
        piece.append(batch_.data() + start, bytes);
    }
    if (!piece.empty()) flush();
    runs_.push_back({begin, end});
    batch_.clear();
    starts_.clear();
    sorted_ = false;
}

void SortedRecords::forEach(const std::function<void(std::string_view body)>& visit) const {
    const std::vector<std::uint32_t>& batch = sortedBatch();
    if (runs_.empty()) {
        for (const std::uint32_t start : batch) visit(recordAt(batch_.data() + start).body);
        return;
    }
    // Each run read through a buffer; together they take about 4 MB however many there are.
    const std::size_t bufferBytes = std::clamp<std::size_t>((std::size_t{4} << 20) / runs_.size(), 4096, 256 << 10);
    std::vector<RunReader> readers;
    readers.reserve(runs_.size());
    for (const Run& run : runs_) readers.emplace_back(*spill_, run.begin, run.end, bufferBytes);
    std::size_t inBatch = 0;
    // The least key first; of equal keys, the earlier run's (the batch is the last run).
    const auto later = [&](std::size_t a, std::size_t b) {
        const std::string_view keyA = a < readers.size() ? readers[a].current().key : recordAt(batch_.data() + batch[inBatch]).key;
        const std::string_view keyB = b < readers.size() ? readers[b].current().key : recordAt(batch_.data() + batch[inBatch]).key;
        const int order = keyA.compare(keyB);
        return order != 0 ? order > 0 : a > b;
    };
    std::priority_queue<std::size_t, std::vector<std::size_t>, decltype(later)> next(later);
    for (std::size_t i = 0; i < readers.size(); ++i)
        if (!readers[i].done()) next.push(i);
    if (!batch.empty()) next.push(readers.size());
    while (!next.empty()) {
        const std::size_t source = next.top();
        next.pop();
        if (source == readers.size()) {
            visit(recordAt(batch_.data() + batch[inBatch]).body);
            if (++inBatch < batch.size()) next.push(source);
            continue;
        }
        visit(readers[source].current().body);
        readers[source].advance();
        if (!readers[source].done()) next.push(source);
    }
}

void SortedRecords::clear() {
    removeSpill();
    batch_.clear();
    starts_.clear();
    sorted_ = false;
    count_ = 0;
}

void SortedRecords::removeSpill() noexcept {
    runs_.clear();
    if (!spill_) return;
    try {
        spill_->close();
    } catch (...) {
        // A file only read back: nothing is lost with it.
    }
    spill_.reset();
    platform::discardFile(spillPath_);
    spillPath_.clear();
}

}  // namespace zestrel::upgrade
