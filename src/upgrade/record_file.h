// Writing and reading back the small records the program keeps in its own folders.
//
// A record is written whole under a temporary name, made durable and renamed into place, so its
// name never leads to half a record. It is read back only when it is a regular file (a link at its
// name is refused) that belongs to the caller (or root) and that nobody else may write: a record
// someone else could have written is never obeyed. Both act on names in a folder held open.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/folder.h"

namespace zestrel::upgrade {

// Writes `content` as the record `name` in `folder`, replacing a record of that name.
void writeRecordFile(const platform::Folder& folder, const std::filesystem::path& name, const std::string& content);
// The content of the record `name`; nothing when there is none, when it is no regular file, when
// it is not the caller's own and private, or when it is larger than any record the program writes.
std::optional<std::string> readRecordFile(const platform::Folder& folder, const std::filesystem::path& name);

}  // namespace zestrel::upgrade
