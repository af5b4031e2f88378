#include "platform/file_replace.h"

#include <string>

#include "platform/file.h"

namespace zestrel::platform {

namespace fs = std::filesystem;

namespace {

constexpr const char* kTemporarySuffix = ".zestrel-partial";

}  // namespace

fs::path temporaryPathFor(const fs::path& final) {
    fs::path name(".");
    name += final.filename();
    name += kTemporarySuffix;
    return final.parent_path() / name;
}

bool isTemporaryPath(const fs::path& path) {
    const std::string name = path.filename().string();
    const std::string suffix = kTemporarySuffix;
    return name.size() > suffix.size() + 1 && name.front() == '.' &&
           name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
}

void removeTemporaries(const fs::path& folder) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error))
        if (isTemporaryPath(it->path()) && it->is_regular_file(error)) removeFile(it->path());
}

}  // namespace zestrel::platform
