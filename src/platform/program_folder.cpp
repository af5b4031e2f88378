#include <optional>

#include "platform/file_system.h"
#include "platform/platform_steps.h"

namespace zestrel::platform {

namespace fs = std::filesystem;

namespace {

std::optional<fs::path> overrideFolder;

}  // namespace

fs::path programFolder() {
    fs::path folder;
    if (overrideFolder) {
        folder = *overrideFolder;
    } else if (const auto variable = programFolderVariable()) {
        std::error_code ignored;
        folder = fs::absolute(*variable, ignored);
        if (folder.empty()) folder = *variable;
    } else {
        folder = defaultProgramFolder();
    }
    createFolders(folder);
    return folder;
}

void setProgramFolder(const fs::path& folder) {
    if (folder.empty())
        overrideFolder.reset();
    else
        overrideFolder = folder;
}

}  // namespace zestrel::platform
