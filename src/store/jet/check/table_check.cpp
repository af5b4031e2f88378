#include "store/jet/check/table_check.h"

#include <algorithm>

#include <map>
#include <optional>

#include "store/jet/check/usage_map_check.h"
#include "store/jet/data_page.h"
#include "store/jet/long_value.h"
#include "store/jet/row_decoder.h"
#include "text/utf8.h"

namespace zestrel::jet::check {

namespace {

std::string at(RowPointer p) { return std::to_string(p.page) + ":" + std::to_string(p.row); }

struct ColumnPages {
    std::string name;                        // "table.column"
    std::optional<PageSet> owned;  // nothing when the column has no readable map
};

class TableChecker {
public:
    TableChecker(CheckTarget& target, const TableDefinition& table)
        : t_(target), table_(table), name_("table '" + text::toUtf8(table.name) + "'"), locate_(table, target.format) {}

    RowIdentities run() {
        checkOwnedMaps();
        checkLongValueMaps();
        checkRows();
        // The rows are visited in page and slot order, so the list is nearly always sorted already,
        // and then kept as runs; otherwise it is sorted once, here.
        if (ordered_) return std::move(identities_);
        std::vector<std::uint32_t> all;
        all.reserve(identities_.size());
        for (const std::uint32_t row : identities_) all.push_back(row);
        std::sort(all.begin(), all.end());
        all.erase(std::unique(all.begin(), all.end()), all.end());
        RowIdentities sorted;
        for (const std::uint32_t row : all) sorted.push_back(row);
        return sorted;
    }

private:
    void checkOwnedMaps() {
        auto owned = readMap(t_.pages, t_.format, table_.usageMap, name_ + ": owned-pages map", t_.report);
        const auto withRoom = readMap(t_.pages, t_.format, table_.freeSpaceMap, name_ + ": free-space map", t_.report);
        noteHolder(owned);
        noteHolder(withRoom);
        if (!owned) return;
        owned_ = std::move(owned->pages);
        for (std::uint32_t page : owned_) checkOwnedPage(page);
        if (const auto named = t_.pagesByOwner.find(table_.page); named != t_.pagesByOwner.end())
            for (std::uint32_t page : named->second) checkNamedPage(page);
        if (!withRoom) return;
        for (std::uint32_t page : withRoom->pages)
            if (!owned_.count(page))
                t_.report.fault(name_ + ": free-space map lists page " + std::to_string(page) + ", which it does not own");
    }

    void checkOwnedPage(std::uint32_t page) {
        const PageInfo& info = t_.survey[page];
        if (info.type != kPageData || info.owner != table_.page)
            t_.report.fault(name_ + ": owned-pages map lists page " + std::to_string(page) +
                            ", which does not hold its rows");
        if (t_.accounting.isFree(page))
            t_.report.fault(name_ + ": owns page " + std::to_string(page) + ", which the global map marks free");
        t_.accounting.use(page, name_);
    }

    // A page that names this table as owner must be in its map, unless it was freed.
    void checkNamedPage(std::uint32_t page) {
        const PageInfo& info = t_.survey[page];
        if (info.type != kPageData || info.owner != table_.page || owned_.count(page)) return;
        if (t_.accounting.isFree(page))
            t_.report.note("page " + std::to_string(page) + ": a freed page that still names " + name_);
        else
            t_.report.fault("page " + std::to_string(page) + " holds rows of " + name_ +
                            ", whose owned-pages map does not list it");
    }

    void noteHolder(const std::optional<MapContents>& map) {
        if (!map) return;
        t_.accounting.use(map->holder, "usage maps");
        for (std::uint32_t page : map->mapPages) t_.accounting.use(page, "usage maps");
    }

    void checkLongValueMaps() {
        for (std::size_t i = 0; i < table_.columns.size(); ++i) {
            const ColumnDefinition& column = table_.columns[i];
            if (!isLongValue(column.type)) continue;
            ColumnPages& pages = columns_[column.number];
            longValuePositions_.push_back(i);
            longValuePages_.push_back(&pages);
            pages.name = name_ + ", column '" + text::toUtf8(column.name) + "'";
            const LongValueColumnMaps* maps = table_.longValueMapsOf(column.number);
            if (maps == nullptr) {
                if (t_.format.version == JetVersion::Jet3)
                    t_.report.fault(pages.name + ": the definition lists no long-value page maps");
                continue;
            }
            checkColumnMaps(*maps, pages);
        }
    }

    void checkColumnMaps(const LongValueColumnMaps& maps, ColumnPages& column) {
        const auto used = readMap(t_.pages, t_.format, maps.used, column.name + ": long-value pages map", t_.report);
        const auto free = readMap(t_.pages, t_.format, maps.free, column.name + ": long-value free-space map", t_.report);
        noteHolder(used);
        noteHolder(free);
        if (!used) return;
        column.owned = used->pages;
        for (std::uint32_t page : used->pages) {
            if (t_.survey[page].owner != kLongValueOwner)
                t_.report.fault(column.name + ": long-value pages map lists page " + std::to_string(page) +
                                ", which is not a long-value page");
            if (t_.accounting.isFree(page))
                t_.report.fault(column.name + ": owns page " + std::to_string(page) + ", which the global map marks free");
            t_.accounting.use(page, column.name);
        }
        if (!free) return;
        for (std::uint32_t page : free->pages)
            if (!used->pages.count(page))
                t_.report.fault(column.name + ": free-space map lists page " + std::to_string(page) + ", which it does not own");
    }

    void checkRows() {
        std::uint32_t liveRows = 0;
        for (std::uint32_t number : owned_) {
            if (t_.survey[number].type != kPageData || !t_.survey[number].readable) continue;
            t_.pages.trim();  // no page is held from one data page to the next
            auto page = t_.pages.page(number);
            for (std::uint16_t i = 0; i < rowCountOf(page, t_.format); ++i) {
                const RowPointer where{number, static_cast<std::uint8_t>(i)};
                const auto raw = readU16(page, t_.format.dataRowCountOffset + 2 + 2u * i);
                const bool noData = (raw & kRowNoData) != 0;
                const bool moved = (raw & kRowMovedHere) != 0;
                if (noData && !moved) identify(where.encode());  // the pointer to a moved row
                if (noData) continue;
                if (!moved) identify(where.encode());
                ++liveRows;
                checkRow(page, where);
            }
        }
        t_.report.rowsChecked += liveRows;
        if (liveRows != table_.rowCount)  // the engine keeps such counts after a crash or a deletion
            t_.report.engineLeftover(name_ + ": the definition counts " + std::to_string(table_.rowCount) +
                                     " rows, its pages hold " + std::to_string(liveRows));
    }

    void checkRow(std::span<const std::uint8_t> page, RowPointer where) {
        try {
            auto& fields = fields_;
            locate_.locateSome(rowBytes(page, t_.format, where.row), longValuePositions_, fields);
            for (std::size_t i = 0; i < longValuePositions_.size(); ++i) {
                const std::size_t index = longValuePositions_[i];
                if (!fields[index].isNull) checkLongValueField(fields[index].bytes, *longValuePages_[i], where);
            }
        } catch (const CorruptData& e) {
            t_.report.fault(name_ + ": row " + at(where) + " cannot be decoded: " + e.what());
        }
    }

    // One LVAL row of a value: live, on a page of its column.
    std::optional<std::span<const std::uint8_t>> valueRow(RowPointer link, const ColumnPages& column, RowPointer from) {
        const auto whose = [&] { return column.name + ": the value of row " + at(from) + " "; };
        if (link.page >= t_.survey.size() || t_.survey[link.page].owner != kLongValueOwner ||
            !t_.survey[link.page].readable) {
            t_.report.fault(whose() + "points to " + at(link) + ", which is not on a long-value page");
            return std::nullopt;
        }
        if (column.owned && !column.owned->count(link.page))
            t_.report.fault(whose() + "lies on page " + std::to_string(link.page) + ", which its column does not own");
        auto page = t_.pages.page(link.page);
        if (link.row >= rowCountOf(page, t_.format) || !rowSlot(page, t_.format, link.row).live) {
            t_.report.fault(whose() + "points to " + at(link) + ", which holds no row");
            return std::nullopt;
        }
        return rowBytes(page, t_.format, link.row);
    }

    void checkLongValueField(std::span<const std::uint8_t> field, const ColumnPages& column, RowPointer from) {
        if (field.size() < kLongValueFieldSize) {
            t_.report.fault(column.name + ": the value of row " + at(from) + " has a field shorter than 12 bytes");
            return;
        }
        const std::uint32_t length = readU32(field, 0) & kLongValueLengthMask;
        const std::uint8_t kind = field[3] & 0xC0;
        const RowPointer first = RowPointer::decode(readU32(field, 4));
        if (kind == kLongValueInline) {
            if (field.size() - kLongValueFieldSize < length)
                t_.report.fault(column.name + ": the inline value of row " + at(from) + " is shorter than its length");
            return;
        }
        if (kind == kLongValueSingleRow) {
            const auto row = valueRow(first, column, from);
            if (row && row->size() < length)
                t_.report.fault(column.name + ": the value of row " + at(from) + " is shorter than its length");
            return;
        }
        checkChain(first, length, column, from);
    }

    void checkChain(RowPointer link, std::uint32_t length, const ColumnPages& column, RowPointer from) {
        std::set<std::uint32_t> seen;
        std::uint64_t collected = 0;
        while (collected < length) {
            if (!seen.insert(link.encode()).second) {
                t_.report.fault(column.name + ": the chain of the value of row " + at(from) + " loops");
                return;
            }
            const auto row = valueRow(link, column, from);
            if (!row) return;
            if (row->size() < 4) {
                t_.report.fault(column.name + ": a link of the value of row " + at(from) + " is too short");
                return;
            }
            collected += row->size() - 4;
            const std::uint32_t next = readU32(*row, 0);
            if (next == 0) break;
            link = RowPointer::decode(next);
        }
        if (collected < length)
            t_.report.fault(column.name + ": the chain of the value of row " + at(from) + " ends before its length");
    }

    CheckTarget& t_;
    const TableDefinition& table_;
    std::string name_;
    RowLocator locate_;
    PageSet owned_;
    std::map<std::uint16_t, ColumnPages> columns_;
    std::vector<std::size_t> longValuePositions_;  // the long-value columns' positions in the definition
    std::vector<ColumnPages*> longValuePages_;     // and their pages, in the same order
    // A row's identity, in the order met: still ascending, without repeats, as long as ordered_.
    void identify(std::uint32_t row) {
        if (!identities_.empty() && row <= lastIdentity_) ordered_ = false;
        identities_.push_back(row);
        lastIdentity_ = row;
    }

    RowIdentities identities_;
    std::uint32_t lastIdentity_ = 0;
    bool ordered_ = true;
    std::vector<FieldLocation> fields_;  // the row being checked, its storage kept from row to row
};

}  // namespace

RowIdentities checkTable(CheckTarget& target, const TableDefinition& table) { return TableChecker(target, table).run(); }

}  // namespace zestrel::jet::check
