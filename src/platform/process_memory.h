// How much memory the process holds of its own: the resident pages that are
// not a file's (its heap and stacks), as the system counts them.
#pragma once

#include <cstddef>
#include <optional>

namespace zestrel::platform {

// Nothing where the system does not say (every system but Linux).
std::optional<std::size_t> ownResidentBytes();

// Makes every thread allocate from one pool of memory: memory one thread frees is then memory
// another can use, where a pool for each thread would keep both (about 2 MB more at an upgrade's
// peak). Called first thing in main(), before any thread starts; where the C library keeps one
// pool anyway, it does nothing.
void shareOneMemoryPool();

}  // namespace zestrel::platform
