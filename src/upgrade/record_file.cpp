#include "upgrade/record_file.h"

#include <cstdint>
#include <span>
#include <vector>

#include "platform/file_replace.h"

namespace zestrel::upgrade {

namespace {

constexpr std::uint64_t kLargestRecord = 1 << 16;

}  // namespace

void writeRecordFile(const platform::Folder& folder, const std::filesystem::path& name, const std::string& content) {
    const std::filesystem::path part = platform::temporaryPathFor(name);
    folder.remove(part);
    try {
        platform::File file = folder.openFile(part, platform::OpenMode::CreateNewPrivate);
        file.writeAt(0, std::span(reinterpret_cast<const std::uint8_t*>(content.data()), content.size()));
        file.sync();
        file.close();
        folder.rename(part, folder, name, true);
    } catch (...) {
        folder.discard(part);
        throw;
    }
    folder.sync();
}

std::optional<std::string> readRecordFile(const platform::Folder& folder, const std::filesystem::path& name) {
    const auto entry = folder.entry(name);
    if (!entry || !entry->isRegular() || !platform::privateToCaller(*entry) || entry->size > kLargestRecord)
        return std::nullopt;
    try {
        const platform::File file = folder.openFile(name, platform::OpenMode::ReadOnly);
        const platform::FileState state = file.state();
        if (state.identity() != entry->identity() || !platform::privateToCaller(state) || state.size > kLargestRecord)
            return std::nullopt;
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(state.size));
        file.readAt(0, bytes);
        return std::string(bytes.begin(), bytes.end());
    } catch (const platform::FileError&) {
        return std::nullopt;
    }
}

}  // namespace zestrel::upgrade
