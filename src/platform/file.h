// Files on disk, the one place where the engine meets the operating system.
//
// A File is an open descriptor (a handle on Windows) with positioned reads and
// writes. Every failing system call raises FileError, which carries the error as
// an errno value (Windows errors are translated: a file another program holds
// open is EBUSY) and the path, so callers above can turn it into a failure a user
// understands. Nothing here retries or swallows an error.
//
// On Windows a file opened ReadOnly lets other programs read it but not write
// it while we hold it; one that another program is writing cannot be opened.
//
// Only regular files are opened: a pipe, a device or a socket is refused at
// once (kNotARegularFile), never waited on, and a folder is refused (EISDIR).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/extended_access.h"

namespace zestrel::platform {

class FileError : public std::runtime_error {
public:
    FileError(std::string operation, std::filesystem::path path, int errorNumber);
    const std::filesystem::path& path() const { return path_; }
    int errorNumber() const { return errorNumber_; }
    const std::string& operation() const { return operation_; }

private:
    std::string operation_;
    std::filesystem::path path_;
    int errorNumber_;
};

// The error number of a path that leads to something other than a regular file or a folder
// (a pipe, a device, a socket); beyond the system's own numbers.
inline constexpr int kNotARegularFile = 0x10001;
// The error number of a name that, just after this program gave it a file, leads to another
// file: someone else renamed or replaced it in between.
inline constexpr int kReplacedByAnother = 0x10002;
// The error number of a file read through a view (FileView) that became shorter under the reader,
// or whose bytes there could not be read from the disk.
inline constexpr int kCutShort = 0x10003;

enum class OpenMode {
    ReadOnly,          // the file must exist; nothing is ever written
    ReadWrite,         // the file must exist
    CreateNew,         // the file must not exist yet; it is created for reading and writing
    CreateNewPrivate,  // as CreateNew, readable by its owner only until it is given other bits
                       // (Windows: a protected access list for its creator alone, not its folder's)
};

// Whether opening follows a symbolic link at the path's last part; Refuse fails with ELOOP.
enum class Links { Follow, Refuse };

// How a file stands. A write changes its size or modification time; anything done to it
// (written, linked, its mode or owner changed) its change time; a replacement its identity.
// Times are in nanoseconds. Mode, owner and group are POSIX's (0 on Windows).
struct FileState {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    std::int64_t changed = 0;
    std::uint64_t links = 0;
    std::uint32_t mode = 0;
    std::uint32_t owner = 0;
    std::uint32_t group = 0;
    bool regular = true;  // a regular file: not a folder, link, pipe, device or socket
    ExtendedAccess extended;  // read only from an open file (File::state); Windows: its access list

    std::pair<std::uint64_t, std::uint64_t> identity() const { return {device, inode}; }
    bool isRegular() const { return regular; }
    // The same file with the same content as far as the system tells: identity, size and both times.
    bool unchangedSince(const FileState& earlier) const {
        return identity() == earlier.identity() && size == earlier.size && modified == earlier.modified &&
               changed == earlier.changed;
    }
};

// What of a file's access a new file could take over from it (File::takeAccessOf).
struct AccessCarried {
    bool owner = true;
    bool group = true;
    std::vector<std::string> notKept;  // the access list and attributes the new file could not take
};

class File {
public:
    // Opens a regular file. A folder is refused (EISDIR), any other non-regular file
    // (kNotARegularFile) without waiting for it: a pipe with no writer is never waited on.
    static File open(const std::filesystem::path& path, OpenMode mode, Links links = Links::Follow);

    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    std::uint64_t size() const;
    // Device and inode: the same for every path that leads to this file.
    std::pair<std::uint64_t, std::uint64_t> identity() const;
    // Whether some path still leads to this file (it was not deleted while open).
    bool linked() const;
    FileState state() const;
    // An advisory lock on the file for as long as this handle stays open (also when the process
    // dies, it goes with it): false, at once, when another holder has it. It keeps out only those
    // who ask for it, and holds nothing back where the file system has no such locks. Counted as
    // a file operation ("lock"). POSIX: flock; Windows: LockFileEx on a byte past any file's end.
    bool tryLock();
    // The same lock for a handle opened to write: one that a process that may only read the file
    // cannot hold, so it cannot keep others waiting. POSIX: a write lock of the open file
    // description on the whole file (independent of flock); Windows: as tryLock.
    bool tryWriteLock();
    // Whether tryWriteLock wants a handle opened to write. Windows: no; there a handle open for
    // writing would keep out this program's own readers, which share the file for reading only.
    static const bool kWriteLockWantsWritableHandle;
    // Gives this file the permission bits, owner and group of a file in the state `original`,
    // through the open handle, never through a path someone may have changed. The bits are always
    // set; the owner and group where the system allows (root sets both, an owner any group of
    // theirs): the answer says which could not be kept. Windows: the file takes the original's
    // access list (DACL), protected from its folder's entries when the original's was; a list that
    // cannot be set is named in the answer and the file is left to its current user alone, and
    // one that cannot be narrowed either raises FileError. An original with no list recorded
    // (fileState, a file system without lists) leaves the file as it is. Counted as a file
    // operation ("chmod").
    AccessCarried takeAccessOf(const FileState& original);
    // Reads exactly out.size() bytes at offset; a short read raises FileError (EIO).
    void readAt(std::uint64_t offset, std::span<std::uint8_t> out) const;
    void writeAt(std::uint64_t offset, std::span<const std::uint8_t> data);
    void truncate(std::uint64_t size);
    // Makes everything written so far durable.
    void sync();
    void close();
    // Opens the same file (whatever its path is now) for reading and writing in place of this handle.
    void reopenForWriting();
    const std::filesystem::path& path() const { return path_; }
    friend class FileView;  // maps the open descriptor
    friend class Folder;    // opens files relative to its descriptor

#ifdef _WIN32
    bool isOpen() const { return handle_ != nullptr; }

private:
    File(void* handle, std::filesystem::path path);
    void* handle_ = nullptr;  // a HANDLE
#else
    bool isOpen() const { return fd_ >= 0; }

private:
    File(int fd, std::filesystem::path path);
    // Takes a descriptor just opened without blocking: refuses what is no regular file, then
    // goes on in blocking mode.
    static File fromOpened(int fd, const std::filesystem::path& path);
    int fd_ = -1;
#endif
    std::filesystem::path path_;
};

// Device and inode of the file at a path; nothing when there is none.
std::optional<std::pair<std::uint64_t, std::uint64_t>> fileIdentity(const std::filesystem::path& path);
// How the entry at a path stands, a symbolic link there taken as itself, never followed;
// nothing when there is none.
std::optional<FileState> fileState(const std::filesystem::path& path);
// Raises FileError(kReplacedByAnother) unless the name leads, without following a link, to the
// file of that identity: called after every rename that gives a file a name in a folder others
// may write.
void requireAt(const std::filesystem::path& path, const std::pair<std::uint64_t, std::uint64_t>& identity);

// Removes a file; a missing file is not an error.
void removeFile(const std::filesystem::path& path);

}  // namespace zestrel::platform
