// Memory blocks for page caches: aligned for large pages where the system has
// them, usable to the last byte, distinct while alive.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

#include "platform/large_block.h"

namespace zestrel::platform {
namespace {

TEST(LargeBlock, IsAlignedUsableToItsLastByteAndApartFromTheOthers) {
    std::vector<LargeBlock> blocks;
    std::set<std::uint8_t*> starts;
    for (bool hugePage : {true, false, true}) {
        blocks.push_back(allocateLargeBlock(hugePage));
        std::uint8_t* block = blocks.back().get();
        ASSERT_NE(block, nullptr);
#ifdef __linux__
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % kLargeBlockBytes, 0u);
#else
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % 4096, 0u);
#endif
        std::memset(block, static_cast<int>(blocks.size()), kLargeBlockBytes);
        starts.insert(block);
    }
    EXPECT_EQ(starts.size(), blocks.size());
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        EXPECT_EQ(blocks[i][0], i + 1) << "block " << i << " was written by another";
        EXPECT_EQ(blocks[i][kLargeBlockBytes - 1], i + 1) << "block " << i << " was written by another";
    }
}

}  // namespace
}  // namespace zestrel::platform
