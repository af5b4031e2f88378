// Rewriting the code page a Jet 3 file's header names, to make a cookbook as a machine with another
// Windows code page would have written it.
#pragma once

#include <cstdint>
#include <filesystem>

namespace zestrel::test {

// The code page lies in the header's masked region, so the stored bytes change by the exclusive-or
// of the old number with the new.
void setHeaderCodePage(const std::filesystem::path& path, std::uint16_t from, std::uint16_t to);

}  // namespace zestrel::test
