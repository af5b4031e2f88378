#include "upgrade/run_record.h"

#include <sstream>
#include <string>
#include <vector>

#include "platform/file.h"
#include "platform/file_replace.h"
#include "platform/file_system.h"

namespace zestrel::upgrade {

namespace fs = std::filesystem;

namespace {

constexpr const char* kRecordName = ".zestrel-run";

fs::path recordPath(const fs::path& programFolder) { return programFolder / kRecordName; }

std::string text(const fs::path& path) {
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

fs::path pathOf(const std::string& line) { return fs::path(std::u8string(line.begin(), line.end())); }

}  // namespace

// Lines: the cookbook's path, the backup's path, then device, inode and size.
void writeRunRecord(const fs::path& programFolder, const RunRecord& record) {
    const std::string content = text(record.cookbook) + "\n" + text(record.backup) + "\n" +
                                std::to_string(record.original.first) + " " + std::to_string(record.original.second) +
                                " " + std::to_string(record.size) + "\n";
    const fs::path path = recordPath(programFolder);
    const fs::path part = platform::temporaryPathFor(path);
    platform::removeFile(part);
    platform::removeFile(path);
    {
        platform::File file = platform::File::open(part, platform::OpenMode::CreateNewPrivate);
        file.writeAt(0, std::span(reinterpret_cast<const std::uint8_t*>(content.data()), content.size()));
        file.sync();
        file.close();
    }
    platform::moveFile(part, path);
    platform::syncFolder(programFolder);
}

void removeRunRecord(const fs::path& programFolder) { platform::removeFile(recordPath(programFolder)); }

void finishInterruptedRun(const fs::path& programFolder) {
    const fs::path path = recordPath(programFolder);
    platform::removeFile(platform::temporaryPathFor(path));
    if (!platform::entryExists(path)) return;
    RunRecord record;
    bool read = false;
    try {
        platform::File file = platform::File::open(path, platform::OpenMode::ReadOnly, platform::Links::Refuse);
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min<std::uint64_t>(file.size(), 1 << 16)));
        file.readAt(0, bytes);
        std::istringstream in(std::string(bytes.begin(), bytes.end()));
        std::string cookbook, backup;
        read = std::getline(in, cookbook) && std::getline(in, backup) &&
               (in >> record.original.first >> record.original.second >> record.size);
        record.cookbook = pathOf(cookbook);
        record.backup = pathOf(backup);
    } catch (const platform::FileError&) {
        read = false;
    }
    if (read) {
        const auto atCookbook = platform::fileState(record.cookbook);
        const auto atBackup = platform::fileState(record.backup);
        // The cookbook is still the original: the backup was made for an upgrade that never happened.
        if (atCookbook && atCookbook->identity() == record.original && atBackup && atBackup->size == record.size)
            platform::removeFile(record.backup);
    }
    removeRunRecord(programFolder);
    platform::syncFolder(programFolder);
}

}  // namespace zestrel::upgrade
