// Memory blocks for page caches: aligned to their size, usable to the last
// byte, and kept for reuse once given back, so that files opened one after
// the other do not each ask the system for new memory.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "platform/large_block.h"

namespace zestrel::platform {
namespace {

TEST(LargeBlock, IsAlignedToItsSizeAndUsableToItsLastByte) {
    LargeBlock block = allocateLargeBlock();
    ASSERT_NE(block.get(), nullptr);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block.get()) % kLargeBlockBytes, 0u);
    std::memset(block.get(), 0xA5, kLargeBlockBytes);
    EXPECT_EQ(block[kLargeBlockBytes - 1], 0xA5);
}

TEST(LargeBlock, BlocksGivenBackAreReusedBeforeNewOnesAreMade) {
    std::set<std::uint8_t*> first;
    {
        std::vector<LargeBlock> blocks;
        for (int i = 0; i < 4; ++i) blocks.push_back(allocateLargeBlock());
        for (const auto& b : blocks) first.insert(b.get());
        EXPECT_EQ(first.size(), 4u) << "two live blocks share memory";
    }
    std::vector<LargeBlock> again;
    for (int i = 0; i < 4; ++i) again.push_back(allocateLargeBlock());
    for (const auto& b : again) EXPECT_TRUE(first.count(b.get())) << "a new block was made while kept ones were free";
}

}  // namespace
}  // namespace zestrel::platform
