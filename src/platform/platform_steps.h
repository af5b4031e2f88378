// The platform's own steps under the platform layer's shared code (file_replace.cpp,
// program_folder.cpp). Internal to the platform layer: callers use file_replace.h and
// file_system.h.
#pragma once

#include <filesystem>
#include <optional>

#include "platform/file.h"

#ifndef _WIN32
struct stat;
#endif

namespace zestrel::platform {

// Each of these three is one counted file operation.
// Makes `to` a hard link of `from`; false where the file system cannot make one between them
// (another file system or volume, no hard links there, links refused).
bool tryLink(const std::filesystem::path& from, const std::filesystem::path& to);

// Renames `from` to `to` in one atomic step; without `replacing`, fails with EEXIST when `to` exists.
void renameFile(const std::filesystem::path& from, const std::filesystem::path& to, bool replacing);

// Renames `from` over `to`; false, with nothing done, when the two lie on different file systems.
bool tryRenameReplacing(const std::filesystem::path& from, const std::filesystem::path& to);

#ifndef _WIN32
// The flags of open(2) for a mode, before O_CLOEXEC, O_NONBLOCK and O_NOFOLLOW.
int openFlags(OpenMode mode);
// A FileState from what stat(2) answered.
FileState stateOf(const struct stat& st);
// Whether link(2) failed only because no hard link can be made there (another file system, none
// on this one, links refused by the system's protection): the caller copies instead.
bool noLinkHere(int error);
#endif

// The value of the environment variable ZESTREL_PROGRAM_FOLDER; nothing when unset or empty.
std::optional<std::filesystem::path> programFolderVariable();
// The program's folder when neither setProgramFolder nor the variable names one.
std::filesystem::path defaultProgramFolder();
// Creates the folder and any missing parents; failures are left for the first file operation in
// the folder to report.
void createFolders(const std::filesystem::path& folder);

}  // namespace zestrel::platform
