// Whether another program has a database open to write it: the genuine engine keeps a lock file
// "<name>.ldb" beside an open database and locks byte ranges of it for each user, and a program
// that saves the file holds it open for writing. An upgrade run meanwhile would lose that save.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace zestrel::platform {

// Why the file at `path` is open elsewhere ("it is open for writing", "its lock file X is in
// use"); nothing when no sign of another program is found. Looks only; changes nothing. On Linux
// the writer is found by a read lease, which only the file's owner (or root) may take; for
// another user's file only the lock file is looked at.
std::optional<std::string> openElsewhere(const std::filesystem::path& path);

// Whether another process holds the write lock File::tryWriteLock takes (an upgrade or restore
// of this file), asked without taking it.
bool writeLockHeldElsewhere(const std::filesystem::path& path);

// The engine's lock file of a database: its name with ".ldb" for its extension.
inline std::filesystem::path lockFileOf(std::filesystem::path database) { return database.replace_extension(".ldb"); }

}  // namespace zestrel::platform
