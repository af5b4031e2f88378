// A list of changes as a file of its own: written under a temporary name, made durable and only
// then given its name, so that the name never leads to half a list. On Windows the files are
// Windows text: a UTF-8 byte-order mark and CRLF line ends, as Notepad and spreadsheets expect.
#pragma once

#include <filesystem>

#include "platform/file.h"

#include "upgrade/value_changes.h"

namespace zestrel::upgrade {

// Writes the list of `changes` of the cookbook `cookbook` (`backup` where its originals are kept;
// empty for a dry run) to `list`, which must not exist yet, created with `mode`. On a failure
// nothing is left at either name, and the failure passes on.
void writeListFile(const ValueChanges& changes, const std::filesystem::path& cookbook,
                   const std::filesystem::path& backup, const std::filesystem::path& list,
                   platform::OpenMode mode);

// The same changes as a table for spreadsheets (tab-separated), written to `table` as the list is.
void writeTableFile(const ValueChanges& changes, const std::filesystem::path& table, platform::OpenMode mode);

// The list a dry run found, written afresh over the one a preview wrote before and readable by its
// owner alone: the file the window opens when its owner asks to see what an upgrade would change.
std::filesystem::path writePreviewList(const ValueChanges& changes, const std::filesystem::path& cookbook,
                                       const std::filesystem::path& list);

}  // namespace zestrel::upgrade
