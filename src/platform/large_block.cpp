#include "platform/large_block.h"

#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace zestrel::platform {

#ifdef __linux__
// Mapped straight from the system, aligned to the block's size so that one huge page can back
// it, and unmapped when released, so that the memory goes back at once.
LargeBlock allocateLargeBlock(bool hugePage) {
    const std::size_t span = 2 * kLargeBlockBytes;
    void* mapped = ::mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + kLargeBlockBytes - 1) & ~(kLargeBlockBytes - 1);
    const std::uintptr_t end = start + span;
    if (aligned > start) ::munmap(mapped, aligned - start);
    if (end > aligned + kLargeBlockBytes)
        ::munmap(reinterpret_cast<void*>(aligned + kLargeBlockBytes), end - aligned - kLargeBlockBytes);
    auto* block = reinterpret_cast<std::uint8_t*>(aligned);
    // Only advice: where huge pages are off or scarce, the block is backed by small pages.
    if (hugePage) ::madvise(block, kLargeBlockBytes, MADV_HUGEPAGE);
    return LargeBlock(block);
}

void LargeBlockRelease::operator()(std::uint8_t* block) const { ::munmap(block, kLargeBlockBytes); }
#else
namespace {
constexpr std::align_val_t kAlignment{4096};
}

LargeBlock allocateLargeBlock(bool /*hugePage: the blocks are plain memory here*/) {
    return LargeBlock(static_cast<std::uint8_t*>(::operator new(kLargeBlockBytes, kAlignment)));
}

void LargeBlockRelease::operator()(std::uint8_t* block) const { ::operator delete(block, kAlignment); }
#endif

}  // namespace zestrel::platform
