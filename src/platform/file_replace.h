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
#include <functional>

#include "platform/file.h"
#include "platform/folder.h"

namespace zestrel::platform {

// The temporary name under which a file is written before it gets the name `final`: in the same
// folder (so on the same file system), "." + sixteen hexadecimal digits drawn from final's name +
// ".zestrel-partial". It is short whatever final's name is (a name at the file system's limit
// still has one), the same for the same final name (so the next run finds what a run that died
// left), hidden, and ends in neither ".rcp" nor ".mdb".
std::filesystem::path temporaryPathFor(const std::filesystem::path& final);
// The name is one temporaryPathFor gives.
bool isTemporaryPath(const std::filesystem::path& path);
// Removes every file with a temporary name in `folder` (what a run that died left); everything
// else stays. A missing folder has nothing to remove.
void removeTemporaries(const std::filesystem::path& folder);

// Folders others may write: every file is created exclusively (never through a name someone put
// there first), its permission bits and owner are set through the open file, never through a path,
// and after each rename the new name is confirmed to lead to the file this program wrote (device
// and inode, a symbolic link not followed); when it does not, FileError(kReplacedByAnother).

// Gives the new name `to` a complete copy of the file `from`, which stays where it is: a hard link
// where both lie on one file system and `from` has no other name (a link to a file with another
// name would change whenever the file is written through that name), otherwise a copy written
// and made durable under temporaryPathFor(to) and then renamed to `to`. `to` must not exist
// (EEXIST) and is never replaced; it never names a partial file. A copy gets the permission bits,
// owner and group of `from` where the system allows. The folder of `to` is made durable before
// returning.
void linkOrCopy(const std::filesystem::path& from, const std::filesystem::path& to);

// A name in a folder held open: the operations below act on that folder's names without following
// a link at them (folder.h). `from` must be a regular file (kNotARegularFile otherwise).
struct Place {
    const Folder& folder;
    std::filesystem::path name;
    std::filesystem::path path() const { return folder.pathOf(name); }
};
void linkOrCopy(const Place& from, const Place& to);

enum class Source {
    Move,  // `from` is moved: gone afterwards when it lay on the file system of `to`; otherwise
           // it is left where it was, for the caller to remove once it is no longer needed
    Keep,  // `from` stays where it is; a hard link or a copy of it takes the place of `to`
    Copy,  // `from` stays where it is, and a copy of it (never a link: the two names stay two
           // files) takes the place of `to`
};

// Puts the file `from` in the place of the existing file `to` in one atomic step: at every moment,
// also across a power loss, `to` leads to its old file or to the complete new one, never to
// nothing and never to a partial file. From another file system (or with Source::Keep where no
// hard link can be made) `from` is first copied and made durable under temporaryPathFor(to); that
// is then renamed over `to`. `beforeRename`, when given, runs just before that rename and may stop
// it by raising. The folder of `to` is made durable before returning. When it raises, `to` may
// lead to either file (the rename may have happened before a later step failed); a caller tells
// which by the file's identity. A temporary copy is never left behind. The new file takes the
// permission bits, owner and group of the file at `to` before it takes the name; the answer says
// what of the owner and group the system would not let it keep.
AccessCarried replaceFile(const std::filesystem::path& from, const std::filesystem::path& to, Source source,
                          const std::function<void()>& beforeRename = {});
// The same between two places; the new file takes the permission bits, owner and group of
// `access` (what the caller recorded of the file it replaces, never what stands at `to` now).
// `renamed`, when given, is set just before the rename to the identity of the file it gives the
// name `to`, so that a caller can tell its own file from any other found there afterwards.
using Identity = std::pair<std::uint64_t, std::uint64_t>;
AccessCarried replaceFile(const Place& from, const Place& to, Source source, const FileState& access,
                          const std::function<void()>& beforeRename = {}, Identity* renamed = nullptr);

}  // namespace zestrel::platform
