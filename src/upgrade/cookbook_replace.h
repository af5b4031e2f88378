// Putting the new database in the cookbook's place, and undoing that when a step fails.
//
// The cookbook is held open and locked from the start of the run; the backup is made while the
// original stays at its path, and the new database takes its place in one atomic rename, so that
// the path leads at every moment to the original, byte for byte, or to the complete upgraded
// cookbook. FrmMainUpgrade::replaceCookbook, which runs these steps in order, is defined beside
// them.
#pragma once

#include <filesystem>
#include <string>

#include "platform/file.h"
#include "platform/folder.h"
#include "upgrade/backup_origin.h"

namespace zestrel::upgrade {

// The cookbook held for the whole run: open (a pipe or device is refused at once, never waited
// on) and locked, so that a second upgrade of the same file, from any program folder, stops at
// once; and its state when the run began to read it.
struct HeldCookbook {
    platform::File file;
    platform::FileState state;
};

// The file the cookbook's path leads to: its own symbolic link followed once, when the caller may
// rely on it (platform followLink); failure 70 for a link another user planted.
std::filesystem::path cookbookBehind(const std::filesystem::path& given);

// Failure 3045 when another run holds the cookbook. A link at the path is refused: the caller has
// resolved the cookbook's own link already.
HeldCookbook holdCookbook(const std::filesystem::path& cookbook);

// Failure 70 when other users may replace files in the cookbook's folder (folder.h
// othersMayReplaceIn): a file the run keeps beside the cookbook could be swapped there.
void requireNoOtherWriters(const platform::Folder& folder, const std::filesystem::path& cookbook);

// What a backup's record says of the cookbook `given` (resolved to `cookbook`), in the state `state`.
CookbookOrigin originOf(const std::u16string& given, const std::filesystem::path& cookbook,
                        const platform::FileState& state);

// What would otherwise stop the upgrade only after the whole copy is found before it: a cookbook
// folder others may write (requireNoOtherWriters) or that cannot take the new file, and a backup name (or the name of the list of changed
// values beside it) longer than its folder allows.
void checkBeforeCopy(const std::filesystem::path& cookbook, const std::filesystem::path& backup);

}  // namespace zestrel::upgrade
