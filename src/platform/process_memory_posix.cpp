#include "platform/process_memory.h"

#include <unistd.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <fstream>

namespace zestrel::platform {

// /proc/self/statm counts pages: total size, resident, resident and shared (a file's), ...
std::optional<std::size_t> ownResidentBytes() {
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0, resident = 0, shared = 0;
    if (!(statm >> size >> resident >> shared) || shared > resident) return std::nullopt;
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pageSize <= 0) return std::nullopt;
    return (resident - shared) * static_cast<std::size_t>(pageSize);
}

void shareOneMemoryPool() {
#ifdef __GLIBC__
    ::mallopt(M_ARENA_MAX, 1);
#endif
}

}  // namespace zestrel::platform
