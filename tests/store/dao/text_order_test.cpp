// ORDER BY on text against the genuine engine's order: the texts of the
// genuine Jet 3 files' text indexes, which the engine keeps in the order of
// their keys, must come out of our sort in that order.
#include <gtest/gtest.h>

#include <map>

#include "store/dao/sort_order.h"
#include "store/jet/index_key.h"
#include "support/fixtures.h"
#include "support/genuine_text_indexes.h"
#include "text/utf8.h"

namespace zestrel::dao {
namespace {

int sign(int value) { return (value > 0) - (value < 0); }

bool isSingleTextIndex(const test::GenuineTextIndex& index) { return index.positions.size() == 1 && !index.descending[0]; }

// Every pair of texts of the genuine indexes sorts as their genuine keys order them, ties included.
TEST(TextOrder, EveryPairOfGenuineTextsSortsAsTheirGenuineKeys) {
    ZESTREL_REQUIRE_SHARED();
    std::map<std::u16string, std::vector<std::uint8_t>> keyOf;
    for (const auto& index : test::genuineTextIndexes()) {
        if (!isSingleTextIndex(index)) continue;
        for (const auto& entry : index.entries)
            if (const auto* text = std::get_if<std::u16string>(&entry.values[0])) keyOf.emplace(*text, entry.key);
    }
    std::vector<std::pair<std::string, const std::vector<std::uint8_t>*>> keyed;
    for (const auto& [text, genuine] : keyOf) {
        std::string ours;
        appendSortKey(jet::Value(text), ours);
        keyed.emplace_back(std::move(ours), &genuine);
    }
    auto text = keyOf.begin();
    for (std::size_t i = 0; i < keyed.size(); ++i, ++text) {
        auto other = keyOf.begin();
        for (std::size_t j = 0; j < keyed.size(); ++j, ++other) {
            const int genuine = *keyed[i].second < *keyed[j].second ? -1 : (*keyed[j].second < *keyed[i].second ? 1 : 0);
            ASSERT_EQ(sign(keyed[i].first.compare(keyed[j].first)), genuine)
                << text::toUtf8(text->first) << " against " << text::toUtf8(other->first);
        }
    }
    EXPECT_GT(keyed.size(), 500u);
}

// The whole ORDER BY: a genuine table sorted by an indexed text column gives its rows in the order
// of their genuine keys.
TEST(TextOrder, SortingAGenuineTableFollowsItsTextIndex) {
    ZESTREL_REQUIRE_SHARED();
    std::size_t sorted = 0;
    for (const auto& index : test::genuineTextIndexes()) {
        if (!isSingleTextIndex(index)) continue;
        std::map<std::uint32_t, const std::vector<std::uint8_t>*> keyOfRow;
        for (const auto& entry : index.entries) keyOfRow[entry.row.encode()] = &entry.key;
        auto db = jet::DatabaseFile::open(index.file);
        const jet::TableDefinition table = db->tableDefinition(index.table);
        const std::vector<std::uint8_t>* previous = nullptr;
        for (std::uint32_t row : sortedLocations(*db, table, index.positions[0])) {
            const auto found = keyOfRow.find(row);
            if (found == keyOfRow.end()) continue;  // a row an index that ignores nulls leaves out
            if (previous != nullptr) {
                ASSERT_LE(*previous, *found->second) << index.where << ": row " << (row >> 8) << ":" << (row & 0xFF);
            }
            previous = found->second;
            ++sorted;
        }
    }
    EXPECT_GT(sorted, 3000u);
}

}  // namespace
}  // namespace zestrel::dao
