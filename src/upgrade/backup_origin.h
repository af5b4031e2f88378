// The record that ties a file in the Backup folder to the cookbook it came from.
//
// Every backup an upgrade makes, and every upgraded cookbook a restore keeps, has a record beside
// it ("family_backup_2.rcp" has "family_backup_2_origin.txt"): the cookbook's path as it was given
// and as it resolved, the device, inode, size and last-write time of the file that was copied, the
// time it was made and, once the upgrade put its new file at the cookbook's path, that file's
// device and inode. Restore goes by these records, never by file names alone: two cookbooks of one
// name in two folders never take each other's backups. The record is written durably before the
// file it describes, in record_text's escaped form, and read back only when it is the caller's own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <utility>

#include "platform/folder.h"

namespace zestrel::upgrade {

using Identity = std::pair<std::uint64_t, std::uint64_t>;  // device and inode

enum class KeptAs { Backup, Upgraded };

struct CookbookOrigin {
    std::filesystem::path given;     // the cookbook's path as the owner named it
    std::filesystem::path resolved;  // absolute, every link on the way resolved
    Identity identity{};             // of the file that was copied
    std::uint64_t size = 0;
    std::int64_t modified = 0;       // its last-write time, nanoseconds
    std::int64_t madeAt = 0;         // when the copy was made, nanoseconds since 1970
    std::optional<Identity> upgraded;  // the file the upgrade put at the cookbook's path

    // Whether the file now at `resolvedPath` in the state `now` is this record's cookbook: the
    // same resolved path, or the very file the upgrade put there (moved or renamed since).
    bool belongsTo(const std::filesystem::path& resolvedPath, const std::optional<Identity>& now) const;
};

// "<name without .rcp>_origin.txt", the record beside the kept file `keptName`.
std::filesystem::path originNameFor(const std::filesystem::path& keptName);
// The kept file a record's name describes; nothing for any other name.
std::optional<std::filesystem::path> keptNameOf(const std::filesystem::path& recordName);

void writeOrigin(const platform::Folder& backupFolder, const std::filesystem::path& keptName, KeptAs kind,
                 const CookbookOrigin& origin);
// The record of the kept file `keptName` when there is one of that kind the caller may trust.
std::optional<CookbookOrigin> readOrigin(const platform::Folder& backupFolder, const std::filesystem::path& keptName,
                                         KeptAs kind);
// Now, in nanoseconds since 1970.
std::int64_t nowNanoseconds();

}  // namespace zestrel::upgrade
