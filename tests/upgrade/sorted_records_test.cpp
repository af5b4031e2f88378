// Records come back in key order, equal keys in the order they were added, whether they stayed in
// memory or went to a file in sorted runs; the file goes when the records are cleared.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "upgrade/sorted_records.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;

struct Added {
    std::string key;
    std::string body;
};

// Keys from a small alphabet (many equal ones, zero bytes among them) and bodies of up to 70,000
// bytes, longer than a run's read buffer.
std::vector<Added> randomRecords(std::size_t count, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<Added> records;
    for (std::size_t i = 0; i < count; ++i) {
        std::string key(random() % 4, '\0');
        for (char& c : key) c = static_cast<char>(random() % 3);
        const std::size_t length = i % 97 == 0 ? 70000 : random() % 40;
        records.push_back({key, std::to_string(i) + std::string(length, 'x')});
    }
    return records;
}

// Random records, or the same records sorted and then put mostly in order, as a copy in rID
// order makes them: runs in order, some out of place, equal keys across runs.
enum class Arrangement { Random, InOrder, RunsRotated, OneMovedBack, Reversed };

std::vector<Added> arranged(std::size_t count, Arrangement arrangement) {
    auto records = randomRecords(count, 7);
    if (arrangement == Arrangement::Random) return records;
    std::stable_sort(records.begin(), records.end(), [](const Added& a, const Added& b) { return a.key < b.key; });
    if (arrangement == Arrangement::RunsRotated)
        for (std::size_t piece = 0; piece < 5; ++piece)
            std::rotate(records.begin() + piece * 300, records.begin() + piece * 300 + 170, records.end());
    if (arrangement == Arrangement::OneMovedBack)
        std::rotate(records.begin() + 100, records.begin() + 1500, records.begin() + 1501);
    if (arrangement == Arrangement::Reversed) std::reverse(records.begin(), records.end());
    return records;
}

std::vector<std::string> expectedOrder(std::vector<Added> records) {
    std::stable_sort(records.begin(), records.end(), [](const Added& a, const Added& b) {
        return a.key < b.key;
    });
    std::vector<std::string> bodies;
    for (const auto& r : records) bodies.push_back(r.body);
    return bodies;
}

std::vector<std::string> readBack(const upgrade::SortedRecords& sorted) {
    std::vector<std::string> bodies;
    sorted.forEach([&](std::string_view body) { bodies.emplace_back(body); });
    return bodies;
}

struct Batching {
    const char* name;
    std::size_t batchBytes;
    bool spilled;
    std::size_t count;
    Arrangement arrangement = Arrangement::Random;
};

class SortedRecordsOrder : public ::testing::TestWithParam<Batching> {
protected:
    void SetUp() override { dir_ = makeTempDir("sorted"); }
    void TearDown() override { checkAndRemoveTempDir(dir_); }
    fs::path dir_;
};

TEST_P(SortedRecordsOrder, KeyOrderThenOrderAdded) {
    const auto records = arranged(GetParam().count, GetParam().arrangement);
    upgrade::SortedRecords sorted(GetParam().batchBytes);
    const fs::path spill = dir_ / "spill";
    // Some records are added before the file is given: they go into it with the first run.
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (GetParam().spilled && i == records.size() / 3) sorted.spillTo(spill);
        sorted.add(records[i].key, records[i].body);
    }
    EXPECT_EQ(sorted.size(), records.size());
    const auto expected = expectedOrder(records);
    EXPECT_EQ(readBack(sorted), expected);
    EXPECT_EQ(readBack(sorted), expected) << "a second reading";
    EXPECT_EQ(fs::exists(spill), GetParam().spilled);
    if (GetParam().spilled) {
        EXPECT_GT(fs::file_size(spill), GetParam().batchBytes) << "more than one run";
    }
    sorted.clear();
    EXPECT_FALSE(fs::exists(spill));
    EXPECT_TRUE(sorted.empty());
    EXPECT_TRUE(readBack(sorted).empty());
}

INSTANTIATE_TEST_SUITE_P(, SortedRecordsOrder,
                         ::testing::Values(Batching{"InMemory", 1 << 20, false, 3000},
                                           Batching{"ManySmallRuns", 4096, true, 3000},
                                           Batching{"RunsOfOneLongRecord", 1000, true, 300},
                                           Batching{"OneRunAndTheBatch", 1 << 20, true, 3000},
                                           Batching{"InOrder", 4096, true, 3000, Arrangement::InOrder},
                                           Batching{"RunsRotated", 4096, true, 3000, Arrangement::RunsRotated},
                                           Batching{"RunsRotatedInMemory", 1 << 20, false, 3000, Arrangement::RunsRotated},
                                           Batching{"OneMovedBack", 1 << 20, false, 3000, Arrangement::OneMovedBack},
                                           Batching{"Reversed", 1 << 20, false, 3000, Arrangement::Reversed}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(SortedRecordsFile, TheFileGoesWithTheRecords) {
    const fs::path dir = makeTempDir("sorted");
    {
        upgrade::SortedRecords sorted(64);
        sorted.spillTo(dir / "spill");
        for (int i = 0; i < 100; ++i) sorted.add(std::to_string(i % 7), std::to_string(i));
        EXPECT_TRUE(fs::exists(dir / "spill"));
    }
    EXPECT_FALSE(fs::exists(dir / "spill"));
    checkAndRemoveTempDir(dir);
}

}  // namespace
}  // namespace zestrel::test
