#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/file.h"
#include "platform/file_system.h"
#include "platform/folder.h"

namespace zestrel::platform {

namespace {

void copyContent(const File& source, File& target) {
    std::vector<std::uint8_t> buffer(1 << 20);
    const std::uint64_t size = source.size();
    for (std::uint64_t at = 0; at < size;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - at));
        source.readAt(at, std::span(buffer.data(), n));
        target.writeAt(at, std::span<const std::uint8_t>(buffer.data(), n));
        at += n;
    }
    target.sync();
}

}  // namespace

File copyFileDurably(const std::filesystem::path& from, const std::filesystem::path& to) {
    faults::check("copy", from);
    const File source = File::open(from, OpenMode::ReadOnly);
    File target = File::open(to, OpenMode::CreateNewPrivate);
    try {
        copyContent(source, target);
        return target;
    } catch (...) {
        { File closing = std::move(target); }  // closed first: Windows deletes no file held open
        discardFile(to);                         // no partial copy is left behind
        throw;
    }
}

File copyFileDurably(const File& source, const Folder& folder, const std::filesystem::path& name) {
    faults::check("copy", source.path());
    File target = folder.openFile(name, OpenMode::CreateNewPrivate);
    try {
        copyContent(source, target);
        return target;
    } catch (...) {
        { File closing = std::move(target); }
        folder.discard(name);
        throw;
    }
}

}  // namespace zestrel::platform
