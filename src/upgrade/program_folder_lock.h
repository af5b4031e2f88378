// One run at a time per program folder: the temporary database and the Backup
// folder are shared by every run that uses the folder (an upgrade in the
// window or on the command line, a restore). A run that finds the lock held
// stops before it touches anything.
#pragma once

#include <filesystem>
#include <optional>

#include "platform/folder_lock.h"

namespace zestrel {

// The lock on the program folder, held until it is destroyed; failure 3045 when another run holds
// it. A folder that cannot even be opened (missing, not a folder, no access) holds no other run's
// work: the answer is then nothing, and the steps that follow report why the folder cannot be used.
std::optional<platform::FolderLock> lockProgramFolder(const std::filesystem::path& folder);

}  // namespace zestrel
