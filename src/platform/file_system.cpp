#include "platform/file_system.h"

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/file.h"

namespace zestrel::platform {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> overrideFolder;

fs::path executableFolder() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return error ? fs::current_path() : exe.parent_path();
}

fs::path userDataFolder() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    fs::path base = xdg && *xdg ? fs::path(xdg) : fs::path(home ? home : ".") / ".local" / "share";
    return base / "zestrel";
}

bool writable(const fs::path& folder) { return ::access(folder.c_str(), W_OK) == 0; }

void copyDurably(const fs::path& from, const fs::path& to) {
    faults::check("copy", from);
    File source = File::open(from, OpenMode::ReadOnly);
    File target = File::open(to, OpenMode::CreateNew);
    try {
        std::vector<std::uint8_t> buffer(1 << 20);
        const std::uint64_t size = source.size();
        for (std::uint64_t at = 0; at < size;) {
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - at));
            source.readAt(at, std::span(buffer.data(), n));
            target.writeAt(at, std::span<const std::uint8_t>(buffer.data(), n));
            at += n;
        }
        target.sync();
        target.close();
    } catch (...) {
        ::unlink(to.c_str());  // no partial copy is left behind
        throw;
    }
}

}  // namespace

fs::path programFolder() {
    if (overrideFolder) return *overrideFolder;
    const fs::path folder = executableFolder();
    if (writable(folder)) return folder;
    const fs::path data = userDataFolder();
    std::error_code ignored;
    fs::create_directories(data, ignored);
    return data;
}

void setProgramFolder(const fs::path& folder) { overrideFolder = folder; }

bool fileExists(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const std::string name = path.filename().string();
    return name.empty() || name[0] != '.';
}

bool entryExists(const fs::path& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

fs::path followLink(const fs::path& path) {
    std::error_code error;
    if (!fs::is_symlink(path, error)) return path;
    const fs::path target = fs::canonical(path, error);
    return error ? path : target;
}

void createFolder(const fs::path& path) {
    faults::check("create folder", path);
    if (::mkdir(path.c_str(), 0755) != 0) throw FileError("create folder", path, errno);
}

void deleteFile(const fs::path& path) {
    faults::check("delete", path);
    if (::unlink(path.c_str()) != 0) throw FileError("delete", path, errno);
}

void moveFile(const fs::path& from, const fs::path& to) {
    if (entryExists(to)) throw FileError("move to", to, EEXIST);
    faults::check("rename", from);
    if (::rename(from.c_str(), to.c_str()) == 0) return;
    if (errno != EXDEV) throw FileError("move", from, errno);
    copyDurably(from, to);  // another file system: the copy is durable before the original goes
    deleteFile(from);
}

}  // namespace zestrel::platform
