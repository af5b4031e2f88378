// Memory for caches that fill many pages of it: blocks of kLargeBlockBytes,
// aligned to their size, which the system is asked to back with large pages
// where it offers them (Linux: transparent huge pages). A cache that fills a
// block then takes one memory fault for it instead of one per 4 KB page.
// The block's bytes are not initialised. A released block is kept (up to a
// bound) for the next allocation, so that files opened one after the other
// reuse the same memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zestrel::platform {

inline constexpr std::size_t kLargeBlockBytes = std::size_t{2} << 20;

struct LargeBlockRelease {
    void operator()(std::uint8_t* block) const;
};
using LargeBlock = std::unique_ptr<std::uint8_t[], LargeBlockRelease>;

// Throws std::bad_alloc when the memory is not there.
LargeBlock allocateLargeBlock();

}  // namespace zestrel::platform
