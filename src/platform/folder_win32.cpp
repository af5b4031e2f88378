#include "platform/folder.h"

#include <cerrno>
#include <windows.h>

#include "platform/fault_injection.h"
#include "platform/file_system.h"
#include "platform/platform_steps.h"

namespace zestrel::platform {

namespace fs = std::filesystem;

Folder Folder::open(const fs::path& path) {
    const fs::path shown = path.empty() ? fs::path(".") : path;
    const DWORD attributes = ::GetFileAttributesW(shown.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) throw FileError("open folder", shown, ENOENT);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) throw FileError("open folder", shown, ENOTDIR);
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) throw FileError("open folder", shown, ELOOP);
    return Folder(shown);
}

Folder Folder::of(const fs::path& file) { return open(file.has_parent_path() ? file.parent_path() : fs::path(".")); }

Folder::Folder(Folder&& other) noexcept : path_(std::move(other.path_)) {}
Folder& Folder::operator=(Folder&& other) noexcept {
    path_ = std::move(other.path_);
    return *this;
}
Folder::~Folder() = default;

FileState Folder::state() const {
    auto state = fileState(path_);
    if (!state) throw FileError("stat", path_, ENOENT);
    return *state;
}

std::optional<FileState> Folder::entry(const fs::path& name) const { return fileState(pathOf(name)); }

File Folder::openFile(const fs::path& name, OpenMode mode) const { return File::open(pathOf(name), mode, Links::Refuse); }

bool Folder::tryLink(const fs::path& name, const Folder& to, const fs::path& toName) const {
    return platform::tryLink(pathOf(name), to.pathOf(toName));
}

void Folder::rename(const fs::path& name, const Folder& to, const fs::path& toName, bool replacing) const {
    renameFile(pathOf(name), to.pathOf(toName), replacing);
}

bool Folder::tryRenameReplacing(const fs::path& name, const Folder& to, const fs::path& toName) const {
    return platform::tryRenameReplacing(pathOf(name), to.pathOf(toName));
}

void Folder::remove(const fs::path& name) const { removeFile(pathOf(name)); }

void Folder::discard(const fs::path& name) const noexcept { discardFile(pathOf(name)); }

void Folder::sync() const { syncFolder(path_); }

void Folder::requireAt(const fs::path& name, const std::pair<std::uint64_t, std::uint64_t>& identity) const {
    const auto state = entry(name);
    if (!state || state->identity() != identity) throw FileError("confirm", pathOf(name), kReplacedByAnother);
}

bool othersMayReplaceIn(const FileState&) { return false; }
bool privateToCaller(const FileState&) { return true; }
bool trustedLink(const FileState&, const FileState&) { return true; }

}  // namespace zestrel::platform
