// The file-system services the upgrade uses: the program's folder, existence
// tests, folder creation, deletion, and moving a file (a rename; across file
// systems a copy made durable before the original is deleted). Every failure
// raises FileError with the path and the system's error.
#pragma once

#include <filesystem>

namespace zestrel::platform {

// The folder of the running executable; when it cannot be written (an installed program), the
// per-user data folder ($XDG_DATA_HOME/zestrel, by default ~/.local/share/zestrel), created on demand.
// setProgramFolder overrides both.
std::filesystem::path programFolder();
void setProgramFolder(const std::filesystem::path& folder);

// An ordinary file (not a folder, not a hidden file) exists at the path.
bool fileExists(const std::filesystem::path& path);
// Anything (file or folder) exists at the path.
bool entryExists(const std::filesystem::path& path);

// The file a path leads to: a symbolic link is followed to the file it names; any other path is itself.
std::filesystem::path followLink(const std::filesystem::path& path);

void createFolder(const std::filesystem::path& path);
void deleteFile(const std::filesystem::path& path);
void moveFile(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace zestrel::platform
