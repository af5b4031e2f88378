// How much memory the process holds of its own: the resident pages that are
// not a file's (its heap and stacks), as the system counts them.
#pragma once

#include <cstddef>
#include <optional>

namespace zestrel::platform {

// Nothing where the system does not say (every system but Linux).
std::optional<std::size_t> ownResidentBytes();

}  // namespace zestrel::platform
