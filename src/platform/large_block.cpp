#include "platform/large_block.h"

#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace zestrel::platform {

namespace {

constexpr std::align_val_t kAlignment{kLargeBlockBytes};

}  // namespace

void LargeBlockRelease::operator()(std::uint8_t* block) const { ::operator delete(block, kAlignment); }

LargeBlock allocateLargeBlock() {
    auto* block = static_cast<std::uint8_t*>(::operator new(kLargeBlockBytes, kAlignment));
#ifdef __linux__
    // Only advice: where large pages are off or scarce, the block is backed by small pages.
    ::madvise(block, kLargeBlockBytes, MADV_HUGEPAGE);
#endif
    return LargeBlock(block);
}

}  // namespace zestrel::platform
