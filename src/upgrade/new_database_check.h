// What the new database must be before it may take the cookbook's place: the very file this run
// filled, with its Version row stamped "1.3", and sound by the strict structural check.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

#include "store/dao/database.h"

namespace zestrel::upgrade {

using FileIdentity = std::pair<std::uint64_t, std::uint64_t>;  // device and inode

// The identity of the file at `path`; a file failure when there is none.
FileIdentity identityOf(const std::filesystem::path& path);
// Failure 3021 when the new database has no Version row.
void requireVersionRow(dao::Database& target);
// Failure 3049, naming the first fault, when the strict structural check finds any.
void requireSoundStructure(const std::filesystem::path& database);
// Failure 3045 when the file at `database` is not the one this run filled.
void requireSameDatabase(const std::filesystem::path& database, const FileIdentity& filled);
// Stamps the new database "1.3" and reads the stamp back; failure 3049 when it does not read "1.3".
void stampVersion(const std::u16string& DataTo);

}  // namespace zestrel::upgrade
