// Memory for caches that fill many pages of it: blocks of kLargeBlockBytes.
// On Linux a block is mapped aligned to its size and, when asked, the system
// is advised to back it with one huge page, so that a cache filling the block
// takes one memory fault for it instead of one per 4 KB page; a huge page is
// resident whole, so only blocks that will be filled should ask. Elsewhere a
// block is plain memory aligned to 4 KB. The bytes are not initialised; a
// released block goes back to the system at once.
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
LargeBlock allocateLargeBlock(bool hugePage);

}  // namespace zestrel::platform
