#include "upgrade/list_file.h"

#include <cstdint>
#include <span>
#include <string_view>

#include "platform/file.h"
#include "platform/file_replace.h"
#include "platform/file_system.h"

namespace zestrel::upgrade {

void writeListFile(const ValueChanges& changes, const std::filesystem::path& cookbook,
                   const std::filesystem::path& backup, const std::filesystem::path& list,
                   platform::OpenMode mode) {
    const std::filesystem::path partial = platform::temporaryPathFor(list);
    platform::removeFile(partial);  // what a run that died left
    try {
        {
            auto file = platform::File::open(partial, mode);
            std::uint64_t written = 0;
            changes.writeTo(cookbook, backup, [&](std::string_view piece) {
                file.writeAt(written, std::span(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size()));
                written += piece.size();
            });
            file.sync();
            file.close();
        }
        platform::moveFile(partial, list);
        platform::syncFolder(list.parent_path());
    } catch (...) {
        // The name was free when it was chosen: whatever lies there is this run's own.
        platform::discardFile(partial);
        platform::discardFile(list);
        throw;
    }
}

std::filesystem::path writePreviewList(const ValueChanges& changes, const std::filesystem::path& cookbook,
                                       const std::filesystem::path& list) {
    platform::removeFile(list);
    writeListFile(changes, cookbook, {}, list, platform::OpenMode::CreateNewPrivate);
    return list;
}

}  // namespace zestrel::upgrade
