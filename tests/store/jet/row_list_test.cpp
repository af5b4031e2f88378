// The list of row locations a recordset walks: every location reads back as added, in any order
// of reading, also after a row moved; and a table in storage order takes a few bytes a page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "store/jet/format.h"
#include "store/jet/row_list.h"

namespace zestrel::jet {
namespace {

std::uint32_t at(std::uint32_t page, std::uint8_t row) { return RowPointer{page, row}.encode(); }

// Rows in storage order: pages one after another (some skipped), a varying number of rows each.
std::vector<std::uint32_t> storageOrder(std::uint32_t pages) {
    std::vector<std::uint32_t> locations;
    for (std::uint32_t page = 3; page < 3 + pages; ++page) {
        if (page % 7 == 0) continue;  // a page of another table
        for (std::uint8_t row = 0; row < 10 + page % 20; ++row) locations.push_back(at(page, row));
    }
    return locations;
}

RowList listOf(const std::vector<std::uint32_t>& locations) {
    RowList list;
    for (const auto location : locations) list.push_back(location);
    return list;
}

void expectSame(const RowList& list, const std::vector<std::uint32_t>& expected, const std::vector<std::size_t>& order) {
    ASSERT_EQ(list.size(), expected.size());
    for (const auto position : order) ASSERT_EQ(list[position], expected[position]) << "position " << position;
}

std::vector<std::size_t> forwards(std::size_t n) {
    std::vector<std::size_t> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = i;
    return order;
}

TEST(RowLocations, ReadBackAsAddedForwardsBackwardsAndAtRandom) {
    std::mt19937 random(7);
    std::vector<std::uint32_t> shuffled = storageOrder(3000);
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    // Runs of a recipe's rows in the order of a key: a few rows in a row, pages back and forth.
    std::vector<std::uint32_t> byKey;
    for (std::uint32_t k = 0; k < 5000; ++k) {
        const std::uint32_t page = (k * 7919u) % 100000 + 1;
        for (std::uint8_t row = 0; row < 1 + k % 12; ++row) byKey.push_back(at(page, row));
    }
    // Far-apart pages, the largest a pointer holds, and the same place twice.
    const std::vector<std::uint32_t> extremes{at(0xFFFFFF, 255), at(1, 0), at(0xFFFFFF, 0), at(1, 0), at(1, 1), 0};
    for (const auto& locations : {storageOrder(3000), shuffled, byKey, extremes}) {
        const RowList list = listOf(locations);
        auto order = forwards(locations.size());
        expectSame(list, locations, order);
        std::reverse(order.begin(), order.end());
        expectSame(list, locations, order);
        std::shuffle(order.begin(), order.end(), random);
        expectSame(list, locations, order);
    }
}

TEST(RowLocations, ARowThatMovedReadsAtItsNewPlaceAndTheListGoesOnGrowing) {
    std::vector<std::uint32_t> locations = storageOrder(200);
    RowList list = listOf(locations);
    for (std::size_t position : {std::size_t{0}, locations.size() / 2, locations.size() - 1}) {
        locations[position] = at(900000, static_cast<std::uint8_t>(position % 200));
        list.set(position, locations[position]);
    }
    // Moved back where it was first: reads so.
    list.set(0, at(3, 0));
    locations[0] = at(3, 0);
    for (std::uint8_t row = 0; row < 5; ++row) {
        locations.push_back(at(950000, row));
        list.push_back(locations.back());
    }
    expectSame(list, locations, forwards(locations.size()));
}

TEST(RowLocations, ATableInStorageOrderTakesAFewBytesAPage) {
    const std::vector<std::uint32_t> locations = storageOrder(40000);  // about 700,000 rows
    const RowList list = listOf(locations);
    EXPECT_LE(list.bytesHeld(), 40000u * 6) << "not four bytes a row (" << locations.size() * 4 << ")";
    expectSame(list, locations, forwards(locations.size()));
}

}  // namespace
}  // namespace zestrel::jet
