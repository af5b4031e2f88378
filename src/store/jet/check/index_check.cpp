#include "store/jet/check/index_check.h"

#include <algorithm>
#include <optional>

#include "store/jet/check/usage_map_check.h"
#include "store/jet/row_decoder.h"
#include "store/jet/table_reader.h"
#include "text/utf8.h"

namespace zestrel::jet::check {

namespace {

struct IndexPageLayout {
    std::size_t nextPage;
    std::size_t prefixLength;
    std::size_t mask;
    std::size_t entries;
};

IndexPageLayout layoutFor(const Format& f) {
    if (f.version == JetVersion::Jet3) return {12, 20, 0x16, 0xF8};
    return {16, 24, 0x1B, 0x1E0};
}

constexpr std::size_t kPointerSize = 4;
constexpr std::size_t kChildSize = 4;
constexpr std::size_t kMaxPagesWalked = 1u << 20;

struct Entry {
    std::vector<std::uint8_t> key;  // with the row pointer, as stored
    std::uint32_t row = 0;          // encoded row pointer
    std::uint32_t child = 0;        // node pages only
};

std::uint32_t bigEndian(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t length) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < length; ++i) value = (value << 8) | bytes[at + i];
    return value;
}

// The entries of one index page, the shared prefix put back in front of each.
std::vector<Entry> readEntries(std::span<const std::uint8_t> page, const IndexPageLayout& l, bool node) {
    std::vector<std::size_t> ends;
    for (std::size_t byte = l.mask; byte < l.entries; ++byte)
        for (unsigned bit = 0; bit < 8; ++bit)
            if (page[byte] & (1u << bit)) ends.push_back(l.entries + (byte - l.mask) * 8 + bit);
    const std::size_t prefix = page[l.prefixLength];
    std::vector<Entry> out;
    std::size_t start = l.entries;
    std::vector<std::uint8_t> shared;
    for (std::size_t end : ends) {
        if (end > page.size() || end <= start || (node && end < start + kChildSize))
            throw CorruptData("an index entry has an impossible extent");
        const std::size_t storedEnd = end - (node ? kChildSize : 0);
        Entry e;
        // The prefix shared with the page's first entry may reach into the row pointer.
        e.key = out.empty() ? std::vector<std::uint8_t>{} : shared;
        e.key.insert(e.key.end(), page.begin() + static_cast<std::ptrdiff_t>(start),
                     page.begin() + static_cast<std::ptrdiff_t>(storedEnd));
        if (e.key.size() < kPointerSize) throw CorruptData("an index entry is shorter than its row pointer");
        if (out.empty()) shared.assign(e.key.begin(), e.key.begin() + static_cast<std::ptrdiff_t>(std::min(prefix, e.key.size())));
        const std::size_t pointerAt = e.key.size() - kPointerSize;
        e.row = (bigEndian(e.key, pointerAt, 3) << 8) | e.key[pointerAt + 3];
        if (node) e.child = bigEndian(page, storedEnd, kChildSize);
        out.push_back(std::move(e));
        start = end;
    }
    return out;
}

class IndexChecker {
public:
    IndexChecker(CheckTarget& target, const TableDefinition& table, std::size_t number)
        : t_(target), table_(table), layout_(layoutFor(target.format)),
          name_("table '" + text::toUtf8(table.name) + "', index " + std::to_string(number)) {}

    void run(const RealIndexDefinition& index, const RowIdentities& rows) {
        useMapOf(index);
        const std::uint32_t root = index.firstPage;
        if (root == 0 || root >= t_.survey.size()) {
            t_.report.fault(name_ + ": its first page " + std::to_string(root) + " is not in the file");
            return;
        }
        const auto leaf = firstLeaf(root);
        if (!leaf) return;
        const auto entries = leafEntries(*leaf);
        if (!entries) return;
        compare(*entries, rows, index);
    }

private:
    // The index's usage map marks its pages; the map's row and pages are in use.
    void useMapOf(const RealIndexDefinition& index) {
        const auto map = readMap(t_.pages, t_.format, index.usageMap, name_ + ": usage map", t_.report);
        if (!map) return;
        t_.accounting.use(map->holder, "usage maps");
        for (std::uint32_t page : map->mapPages) t_.accounting.use(page, "usage maps");
        for (std::uint32_t page : map->pages) {
            const std::uint8_t type = t_.survey[page].type;
            if (type != kPageIndexLeaf && type != kPageIndexNode)
                t_.report.fault(name_ + ": its usage map lists page " + std::to_string(page) + ", which is not an index page");
            use(page);
        }
    }

    // Marks the whole tree in use, then goes down its first entries to the first leaf.
    std::optional<std::uint32_t> firstLeaf(std::uint32_t root) {
        useTree(root, 0);
        std::set<std::uint32_t> path;
        std::uint32_t page = root;
        for (std::size_t depth = 0; depth < kMaxDepth; ++depth) {
            if (!path.insert(page).second) {
                t_.report.fault(name_ + ": its tree leads back to page " + std::to_string(page));
                return std::nullopt;
            }
            const std::uint8_t type = t_.survey[page].type;
            if (type == kPageIndexLeaf) return page;
            if (type != kPageIndexNode) {
                t_.report.fault(name_ + ": page " + std::to_string(page) + " in its tree is not an index page");
                return std::nullopt;
            }
            const auto entries = readEntries(t_.pages.page(page), layout_, true);
            if (entries.empty() || entries.front().child >= t_.survey.size()) {
                t_.report.fault(name_ + ": node page " + std::to_string(page) + " leads nowhere");
                return std::nullopt;
            }
            page = entries.front().child;
        }
        t_.report.fault(name_ + ": its tree is too deep");
        return std::nullopt;
    }

    // Every page of the tree is in use by the index. Each page is visited once: a node that names
    // itself or a page above it as a child is a fault, not a walk without end.
    void useTree(std::uint32_t page, std::size_t depth) {
        if (page >= t_.survey.size() || depth > kMaxDepth) return;
        if (!treePages_.insert(page).second) {
            t_.report.fault(name_ + ": its tree reaches page " + std::to_string(page) + " more than once");
            return;
        }
        use(page);
        const std::uint8_t type = t_.survey[page].type;
        if (type == kPageIndexNode || type == kPageIndexLeaf) checkNextPage(page);
        if (type != kPageIndexNode) return;
        for (const auto& e : readEntries(t_.pages.page(page), layout_, true)) useTree(e.child, depth + 1);
    }

    // A page of a level names the next page of that level, never itself: the engine walking the
    // level would stay on it for ever.
    void checkNextPage(std::uint32_t page) {
        if (readU32(t_.pages.page(page), layout_.nextPage) == page)
            t_.report.fault(name_ + ": index page " + std::to_string(page) + " names itself as its next page");
    }

    void use(std::uint32_t page) {
        if (!t_.accounting.lastUserIs(page, name_)) t_.accounting.use(page, name_);
    }

    std::optional<std::vector<Entry>> leafEntries(std::uint32_t page) {
        std::vector<Entry> all;
        std::set<std::uint32_t> seen;
        while (page != 0) {
            if (!seen.insert(page).second || seen.size() > kMaxPagesWalked || page >= t_.survey.size() ||
                t_.survey[page].type != kPageIndexLeaf) {
                t_.report.fault(name_ + ": its leaf pages do not form a chain (page " + std::to_string(page) + ")");
                return std::nullopt;
            }
            use(page);
            auto bytes = t_.pages.page(page);
            auto entries = readEntries(bytes, layout_, false);
            all.insert(all.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
            page = readU32(bytes, layout_.nextPage);
        }
        return all;
    }

    void compare(const std::vector<Entry>& entries, const RowIdentities& allRows, const RealIndexDefinition& index) {
        for (std::size_t i = 1; i < entries.size(); ++i)
            if (entries[i].key < entries[i - 1].key) {
                t_.report.fault(name_ + ": entries " + std::to_string(i - 1) + " and " + std::to_string(i) +
                                " are out of key order");
                break;
            }
        std::multiset<std::uint32_t> pointed;
        for (const auto& e : entries) pointed.insert(e.row);
        RowIdentities indexed;
        if (index.flags & kIndexIgnoresNulls) indexed = rowsWithEntries(allRows, pointed, index);
        const RowIdentities& rows = (index.flags & kIndexIgnoresNulls) ? indexed : allRows;
        if (entries.size() != rows.size())
            t_.report.fault(name_ + ": holds " + std::to_string(entries.size()) + " entries for " +
                            std::to_string(rows.size()) + " rows");
        for (std::uint32_t row : rows)
            if (pointed.count(row) != 1) {
                const RowPointer p = RowPointer::decode(row);
                t_.report.fault(name_ + ": row " + std::to_string(p.page) + ":" + std::to_string(p.row) + " has " +
                                std::to_string(pointed.count(row)) + " entries");
            }
    }

    // The rows the index must hold: an index that ignores nulls holds none for a row whose key
    // columns are all null.
    RowIdentities rowsWithEntries(const RowIdentities& rows, const std::multiset<std::uint32_t>& pointed,
                                  const RealIndexDefinition& index) {
        RowIdentities kept;
        for (std::uint32_t row : rows)
            if (pointed.count(row) != 0 || !keyIsNull(RowPointer::decode(row), index)) kept.push_back(row);
        return kept;
    }

    bool keyIsNull(RowPointer row, const RealIndexDefinition& index) {
        const auto bytes = rowAt(t_.pages, t_.format, row);
        return std::all_of(index.columns.begin(), index.columns.end(), [&](std::uint16_t number) {
            const std::size_t position = table_.positionOf(number);
            return position < table_.columns.size() && ColumnLocator(table_, t_.format, position)(bytes).isNull;
        });
    }

    static constexpr std::size_t kMaxDepth = 64;

    CheckTarget& t_;
    const TableDefinition& table_;
    IndexPageLayout layout_;
    std::string name_;
    std::set<std::uint32_t> treePages_;  // the pages of the tree met so far
};

}  // namespace

void checkIndexes(CheckTarget& target, const TableDefinition& table, const RowIdentities& rows) {
    for (std::size_t i = 0; i < table.realIndexes.size(); ++i) {
        try {
            IndexChecker(target, table, i).run(table.realIndexes[i], rows);
        } catch (const CorruptData& e) {
            target.report.fault("table '" + text::toUtf8(table.name) + "', index " + std::to_string(i) +
                                ": cannot be read: " + e.what());
        }
    }
}

}  // namespace zestrel::jet::check
