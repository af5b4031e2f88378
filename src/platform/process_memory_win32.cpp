#include "platform/process_memory.h"

namespace zestrel::platform {

// Files are not read through views on Windows, so nothing asks for it there.
std::optional<std::size_t> ownResidentBytes() { return std::nullopt; }

// The process heap serves every thread.
void shareOneMemoryPool() {}

}  // namespace zestrel::platform
