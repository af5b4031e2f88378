// The platform's steps under file_replace.cpp, each one counted file operation. Internal to the
// platform layer: callers use file_replace.h.
#pragma once

#include <filesystem>

namespace zestrel::platform {

// Makes `to` a hard link of `from`; false where the file system cannot make one between them
// (another file system or volume, no hard links there, links refused).
bool tryLink(const std::filesystem::path& from, const std::filesystem::path& to);

// Renames `from` to `to` in one atomic step; without `replacing`, fails with EEXIST when `to` exists.
void renameFile(const std::filesystem::path& from, const std::filesystem::path& to, bool replacing);

// Renames `from` over `to`; false, with nothing done, when the two lie on different file systems.
bool tryRenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace zestrel::platform
