// The file-system services the upgrade uses: the program's folder, existence
// tests, folder creation, deletion, durable copies, making a folder's names
// durable, and moving a file (a rename; across file systems a copy made
// durable under a temporary name, renamed, and only then the original
// deleted). Every failure raises FileError with the path and the system's
// error. Replacing a file atomically: file_replace.h.
#pragma once

#include <cstddef>
#include <filesystem>

#include "platform/file.h"

namespace zestrel::platform {

// The folder where the temporary database and the Backup folder live. In order of precedence:
// the folder given to setProgramFolder; the environment variable ZESTREL_PROGRAM_FOLDER; then on
// Linux the per-user data folder $XDG_DATA_HOME/zestrel (by default ~/.local/share/zestrel), never
// the executable's folder, so that an installed program writes nothing beside itself; on Windows
// the executable's folder, as the cookbook system has it, or %LOCALAPPDATA%\Zestrel when the
// program was installed there by the setup program (an installed program never writes beside
// itself) or when that folder cannot be written (under Program Files, for example). The folder is
// created (with any missing parents) when it does not exist yet; when that fails, the path is
// still returned and the first file operation in it reports the failure.
std::filesystem::path programFolder();
// An empty path takes the override away again.
void setProgramFolder(const std::filesystem::path& folder);

inline constexpr const char* kProgramFolderVariable = "ZESTREL_PROGRAM_FOLDER";

#ifdef _WIN32
// %LOCALAPPDATA%\Zestrel (without LOCALAPPDATA: %USERPROFILE%\AppData\Local\Zestrel).
std::filesystem::path localApplicationDataFolder();
// The file the setup program writes beside the programs it installs.
inline constexpr const wchar_t* kInstalledMarker = L"installed.txt";
// The program's folder for an executable in `executableFolder`: localApplicationDataFolder() when
// the folder holds kInstalledMarker or no file can be created in it, otherwise that folder.
std::filesystem::path chooseProgramFolder(const std::filesystem::path& executableFolder);
#endif

// An ordinary file (not a folder, not a hidden file) exists at the path.
bool fileExists(const std::filesystem::path& path);
// Anything (file or folder) exists at the path.
bool entryExists(const std::filesystem::path& path);
// A folder exists at the path (a symbolic link to one counts).
bool folderExists(const std::filesystem::path& path);

// The file a path leads to: a symbolic link at its last part is followed to the file it finally
// names, but only one the caller may rely on (made by the caller, by root, or by the owner of that
// file; FileError EPERM for any other); any other path is itself.
std::filesystem::path followLink(const std::filesystem::path& path);
// The path made absolute, with every link, "." and ".." on the way resolved (as far as it exists).
std::filesystem::path resolvedPath(const std::filesystem::path& path);

// How long the last part of `path` is and how long a name its folder allows (the nearest folder
// above that exists when that one does not yet): bytes and the folder's NAME_MAX on POSIX,
// UTF-16 units and 255 on Windows.
struct NameRoom {
    std::size_t length = 0;
    std::size_t limit = 0;
    bool fits() const { return length <= limit; }
};
NameRoom nameRoom(const std::filesystem::path& path);

// A new folder, for its owner only (POSIX mode 0700): what it holds may be a private cookbook.
void createFolder(const std::filesystem::path& path);
void deleteFile(const std::filesystem::path& path);
// Moves a file to a name that must not exist (EEXIST); `to` never names a partial file.
void moveFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Copies the file `from` to the new file `to` (which must not exist) and makes the copy durable
// (its content synced) before returning it, still open; on a failure nothing is left at `to`. The
// copy is readable by its owner only until it is given its access through the returned handle
// (File::takeAccessOf). This writes `to` itself: give it a temporary name (file_replace.h) when a
// partial file must never be seen there.
File copyFileDurably(const std::filesystem::path& from, const std::filesystem::path& to);
class Folder;
// The same from an open file to the new name `name` in a folder held open.
File copyFileDurably(const File& source, const Folder& folder, const std::filesystem::path& name);

// Deletes a file that is only in the way (a partial copy, a temporary); a failure is ignored and
// the call is not counted as a file operation.
void discardFile(const std::filesystem::path& path) noexcept;

// Makes the names in a folder durable: files created, renamed or removed in it before the call
// keep that state across a power loss (POSIX: fsync on the folder; where a file system cannot
// sync a folder this does nothing. Windows: the moves themselves are made with
// MOVEFILE_WRITE_THROUGH, so this may do nothing).
void syncFolder(const std::filesystem::path& folder);

}  // namespace zestrel::platform
