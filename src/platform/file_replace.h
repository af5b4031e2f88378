// Putting a complete file at a final name, so that the name never leads to a
// partial file: not when an operation fails, not when the process dies, and
// not when the power fails at any moment.
//
// A file is written under a temporary name beside its final name, made
// durable, and only then given the final name, in one atomic step; the folder
// is made durable after that step. Temporary names are recognisable (see
// temporaryPathFor): a run that dies leaves at most such a file, which the
// next run removes and which is never taken for a cookbook, a backup or a
// database.
//
// Windows: a hard link is CreateHardLinkW; a rename that must not replace is
// MoveFileExW(MOVEFILE_WRITE_THROUGH); a rename that replaces is
// MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) or
// ReplaceFileW, which are atomic on one volume; copies are flushed with
// FlushFileBuffers before they are renamed.
#pragma once

#include <filesystem>

namespace zestrel::platform {

// The temporary name under which a file is written before it gets the name `final`: in the same
// folder (so on the same file system), "." + final's name + ".zestrel-partial". It is hidden, and
// ends in neither ".rcp" nor ".mdb".
std::filesystem::path temporaryPathFor(const std::filesystem::path& final);
// The name is one temporaryPathFor gives.
bool isTemporaryPath(const std::filesystem::path& path);
// Removes every file with a temporary name in `folder` (what a run that died left); everything
// else stays. A missing folder has nothing to remove.
void removeTemporaries(const std::filesystem::path& folder);

// Gives the new name `to` a complete copy of the file `from`, which stays where it is: a hard link
// where both lie on one file system, otherwise a copy written and made durable under
// temporaryPathFor(to) and then renamed to `to`. `to` must not exist (EEXIST) and is never
// replaced; it never names a partial file. A copy gets the permission bits of `from`. The folder of
// `to` is made durable before returning.
void linkOrCopy(const std::filesystem::path& from, const std::filesystem::path& to);

enum class Source {
    Move,  // `from` is moved: gone afterwards when it lay on the file system of `to`; otherwise
           // it is left where it was, for the caller to remove once it is no longer needed
    Keep,  // `from` stays where it is; a hard link or a copy of it takes the place of `to`
};

// Puts the file `from` in the place of the existing file `to` in one atomic step: at every moment,
// also across a power loss, `to` leads to its old file or to the complete new one, never to
// nothing and never to a partial file. From another file system (or with Source::Keep where no
// hard link can be made) `from` is first copied and made durable under temporaryPathFor(to); that
// is then renamed over `to`. The folder of `to` is made durable before returning. When it raises,
// `to` may lead to either file (the rename may have happened before a later step failed); a
// caller tells which by the file's identity. A temporary copy is never left behind. The file at `to`
// keeps its permission bits: the new file gets them before it takes the name.
void replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, Source source);

}  // namespace zestrel::platform
