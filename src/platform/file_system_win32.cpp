#include "platform/file_system.h"
#include "platform/platform_steps.h"

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <vector>
#include <windows.h>

#include "platform/fault_injection.h"
#include "platform/file.h"
#include "platform/file_replace.h"
#include "platform/win32_error.h"

namespace zestrel::platform {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const char* operation, const fs::path& path) {
    throw FileError(operation, path, errnoFromWindowsError(::GetLastError()));
}

std::optional<fs::path> absoluteVariable(const wchar_t* name) {
    const wchar_t* value = ::_wgetenv(name);
    if (!value || !*value) return std::nullopt;
    const fs::path path(value);
    if (!path.is_absolute()) return std::nullopt;
    return path;
}

fs::path executableFolder() {
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return {};
        if (n < buffer.size()) return fs::path(std::wstring(buffer.data(), n)).parent_path();
        buffer.resize(buffer.size() * 2);
    }
}

// Whether a file can be created in the folder (the folder is created first when it is missing).
bool writable(const fs::path& folder) {
    if (folder.empty()) return false;
    createFolders(folder);
    const fs::path probe = folder / L"zestrel-write-test.tmp";
    const HANDLE handle = ::CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(handle);
    return true;
}

}  // namespace

void discardFile(const fs::path& path) noexcept { ::DeleteFileW(path.c_str()); }

void syncFolder(const fs::path& folder) {
    // Every rename and move here is made with MOVEFILE_WRITE_THROUGH, and new files are flushed
    // before they are named, so a folder has nothing left to make durable. Counted all the same,
    // so that a run makes the same operations as on Linux.
    faults::check("fsync folder", folder);
}

fs::path localApplicationDataFolder() {
    if (auto local = absoluteVariable(L"LOCALAPPDATA")) return *local / L"Zestrel";
    if (auto profile = absoluteVariable(L"USERPROFILE")) return *profile / L"AppData" / L"Local" / L"Zestrel";
    return executableFolder() / L"Zestrel";
}

fs::path chooseProgramFolder(const fs::path& executableFolder) {
    if (fileExists(executableFolder / kInstalledMarker) || !writable(executableFolder))
        return localApplicationDataFolder();
    return executableFolder;
}

void createFolders(const fs::path& folder) {
    if (::GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    fs::path partial;
    for (const fs::path& part : folder) {
        partial /= part;
        if (!partial.has_relative_path()) continue;  // the drive and its root exist or nothing does
        if (!::CreateDirectoryW(partial.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) return;
    }
}

std::optional<fs::path> programFolderVariable() {
    const wchar_t* variable = ::_wgetenv(L"ZESTREL_PROGRAM_FOLDER");
    if (!variable || !*variable) return std::nullopt;
    return fs::path(variable);
}

fs::path defaultProgramFolder() {
    static const fs::path chosen = chooseProgramFolder(executableFolder());
    return chosen;
}

bool fileExists(const fs::path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN)))
        return false;
    const std::wstring name = path.filename().wstring();
    return name.empty() || name[0] != L'.';
}

bool entryExists(const fs::path& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool folderExists(const fs::path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void createFolder(const fs::path& path) {
    faults::check("create folder", path);
    if (!::CreateDirectoryW(path.c_str(), nullptr)) fail("create folder", path);
}

void deleteFile(const fs::path& path) {
    faults::check("delete", path);
    if (!::DeleteFileW(path.c_str())) fail("delete", path);
}

void moveFile(const fs::path& from, const fs::path& to) {
    if (entryExists(to)) throw FileError("move to", to, EEXIST);
    faults::check("rename", from);
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH)) return;
    const DWORD error = ::GetLastError();
    if (error != ERROR_NOT_SAME_DEVICE) throw FileError("move", from, errnoFromWindowsError(error));
    linkOrCopy(from, to);  // another volume: the copy is durable and named before the original goes
    deleteFile(from);
}

// The steps under file_replace.cpp.

// NTFS, FAT and exFAT alike allow 255 UTF-16 units in one name.
NameRoom nameRoom(const fs::path& path) { return {path.filename().native().size(), 255}; }

// A hard link `to` of `from`; false where the volume cannot make one between them (another volume,
// a file system without hard links).
bool tryLink(const fs::path& from, const fs::path& to) {
    faults::check("link", to);
    if (::CreateHardLinkW(to.c_str(), from.c_str(), nullptr)) return true;
    const DWORD error = ::GetLastError();
    switch (error) {
    case ERROR_NOT_SAME_DEVICE:
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
    case ERROR_TOO_MANY_LINKS:
        return false;
    default:
        throw FileError("link", to, errnoFromWindowsError(error));
    }
}

void renameFile(const fs::path& from, const fs::path& to, bool replacing) {
    faults::check("rename", from);
    const DWORD flags = (replacing ? MOVEFILE_REPLACE_EXISTING : 0) | MOVEFILE_WRITE_THROUGH;
    if (!::MoveFileExW(from.c_str(), to.c_str(), flags)) fail("rename", from);
}

bool tryRenameReplacing(const fs::path& from, const fs::path& to) {
    faults::check("rename", from);
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = ::GetLastError();
    if (error != ERROR_NOT_SAME_DEVICE) throw FileError("rename", from, errnoFromWindowsError(error));
    return false;
}

}  // namespace zestrel::platform
