#include "platform/large_block.h"

#include <mutex>
#include <new>
#include <vector>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace zestrel::platform {

namespace {

constexpr std::align_val_t kAlignment{kLargeBlockBytes};
// Blocks given back are kept for the next cache, up to this many (32 MB): a program opens
// several files one after the other, and a kept block needs no new memory from the system.
constexpr std::size_t kKeptBlocks = 16;

struct KeptBlocks {
    std::mutex mutex;
    std::vector<std::uint8_t*> blocks;
};

KeptBlocks& keptBlocks() {
    static auto* kept = new KeptBlocks();  // never destroyed: caches may close during exit
    return *kept;
}

std::uint8_t* takeKeptBlock() {
    auto& kept = keptBlocks();
    const std::lock_guard lock(kept.mutex);
    if (kept.blocks.empty()) return nullptr;
    std::uint8_t* block = kept.blocks.back();
    kept.blocks.pop_back();
    return block;
}

}  // namespace

void LargeBlockRelease::operator()(std::uint8_t* block) const {
    auto& kept = keptBlocks();
    {
        const std::lock_guard lock(kept.mutex);
        if (kept.blocks.size() < kKeptBlocks) {
            kept.blocks.push_back(block);
            return;
        }
    }
    ::operator delete(block, kAlignment);
}

LargeBlock allocateLargeBlock() {
    if (std::uint8_t* kept = takeKeptBlock()) return LargeBlock(kept);
    auto* block = static_cast<std::uint8_t*>(::operator new(kLargeBlockBytes, kAlignment));
#ifdef __linux__
    // Only advice: where large pages are off or scarce, the block is backed by small pages.
    ::madvise(block, kLargeBlockBytes, MADV_HUGEPAGE);
#endif
    return LargeBlock(block);
}

}  // namespace zestrel::platform
