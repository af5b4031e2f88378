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
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <utility>

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

enum class OpenMode {
    ReadOnly,   // the file must exist; nothing is ever written
    ReadWrite,  // the file must exist
    CreateNew,  // the file must not exist yet; it is created for reading and writing
};

class File {
public:
    // Opens a regular file. A folder or any other non-regular file is refused (EISDIR / EINVAL).
    static File open(const std::filesystem::path& path, OpenMode mode);

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

#ifdef _WIN32
    bool isOpen() const { return handle_ != nullptr; }

private:
    File(void* handle, std::filesystem::path path);
    void* handle_ = nullptr;  // a HANDLE
#else
    bool isOpen() const { return fd_ >= 0; }

private:
    File(int fd, std::filesystem::path path);
    int fd_ = -1;
#endif
    std::filesystem::path path_;
};

// Device and inode of the file at a path; nothing when there is none.
std::optional<std::pair<std::uint64_t, std::uint64_t>> fileIdentity(const std::filesystem::path& path);

// Removes a file; a missing file is not an error.
void removeFile(const std::filesystem::path& path);

}  // namespace zestrel::platform
