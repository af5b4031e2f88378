// A folder held open, and every operation on the names in it.
//
// A Folder is opened once, from its path, refusing a symbolic link at the path's last part; from
// then on each operation acts on a name inside that very folder (POSIX: openat, fstatat,
// linkat, renameat, unlinkat on its descriptor), even when someone renames the folder or puts a
// link at its path meanwhile. No operation follows a symbolic link at the name it is given: a
// link there is refused (ELOOP) or taken as itself. So a link or a swap planted at a name the
// program is about to use is never written through, and a file is only ever opened, given its
// access (through the open file) and renamed as the very file the program holds.
//
// Windows, where files are reached by path: the folder's path is kept and each operation
// composes the path, refusing reparse points at the name (File::open with Links::Refuse); a
// folder there takes its access from its parent, and the questions of who may write it are
// answered by that.
#pragma once

#include <filesystem>
#include <optional>
#include <utility>

#include "platform/file.h"

namespace zestrel::platform {

class Folder {
public:
    // Opens the folder at `path` ("." for an empty one). A symbolic link at its last part is
    // refused (FileError ELOOP or ENOTDIR), as is anything but a folder.
    static Folder open(const std::filesystem::path& path);
    // The folder of the file at `file`, opened so.
    static Folder of(const std::filesystem::path& file);

    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    ~Folder();

    const std::filesystem::path& path() const { return path_; }
    // The path of a name in this folder, for messages and for what must be reached by path.
    std::filesystem::path pathOf(const std::filesystem::path& name) const { return path_ / name; }
    FileState state() const;
    // How the entry `name` stands, a symbolic link taken as itself; nothing when there is none.
    std::optional<FileState> entry(const std::filesystem::path& name) const;

    // Opens the regular file `name` (never through a link: ELOOP), as File::open does.
    File openFile(const std::filesystem::path& name, OpenMode mode) const;
    // Makes `toName` in `to` a hard link of the file `name` here; false where none can be made
    // between them (another file system, no hard links there, links refused). One file operation.
    bool tryLink(const std::filesystem::path& name, const Folder& to, const std::filesystem::path& toName) const;
    // Renames `name` here to `toName` in `to`, in one atomic step; without `replacing`, EEXIST
    // when `toName` exists. One file operation.
    void rename(const std::filesystem::path& name, const Folder& to, const std::filesystem::path& toName,
                bool replacing) const;
    // As rename with replacing, but false, with nothing done, across file systems.
    bool tryRenameReplacing(const std::filesystem::path& name, const Folder& to, const std::filesystem::path& toName) const;
    // Removes the entry `name` (a link is removed, never what it leads to); a missing one is no error.
    void remove(const std::filesystem::path& name) const;
    // As remove, for what is only in the way: a failure is ignored and nothing is counted.
    void discard(const std::filesystem::path& name) const noexcept;
    // Makes the names in the folder durable (see syncFolder).
    void sync() const;
    // Raises FileError(kReplacedByAnother) unless `name` leads, without following a link, to the
    // file of that identity.
    void requireAt(const std::filesystem::path& name, const std::pair<std::uint64_t, std::uint64_t>& identity) const;

private:
#ifdef _WIN32
    explicit Folder(std::filesystem::path path) : path_(std::move(path)) {}
#else
    Folder(int fd, std::filesystem::path path) : fd_(fd), path_(std::move(path)) {}
    int fd_ = -1;
#endif
    std::filesystem::path path_;
};

// Whether users other than the caller may create, rename or remove names in a folder in the state
// `folder`: its group or others may write it and it is not sticky, or it is sticky but belongs to
// another user (who may then remove any name in it). Windows: never (a folder takes its access
// from its parent there).
bool othersMayReplaceIn(const FileState& folder);
// Whether an entry belongs to the caller (or to root) and nobody else may write it. Windows: always.
bool privateToCaller(const FileState& entry);
// Whether the caller may rely on a symbolic link in the state `link` that leads to a file in the
// state `target`: the link belongs to the caller, to root, or to the target's owner (the rule the
// kernel applies to links in sticky folders). Windows: always.
bool trustedLink(const FileState& link, const FileState& target);

}  // namespace zestrel::platform
