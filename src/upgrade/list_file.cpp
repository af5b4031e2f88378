#include "upgrade/list_file.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "platform/file.h"
#include "platform/file_replace.h"
#include "platform/file_system.h"

namespace zestrel::upgrade {

namespace {

#ifdef _WIN32
constexpr bool kWindowsText = true;
#else
constexpr bool kWindowsText = false;
#endif

// Writes what `fill` hands out to a new file at `path`, through a temporary name; on a failure
// nothing is left at either name, and the failure passes on.
void writeDurably(const std::filesystem::path& path, platform::OpenMode mode,
                  const std::function<void(const std::function<void(std::string_view)>&)>& fill) {
    const std::filesystem::path partial = platform::temporaryPathFor(path);
    platform::removeFile(partial);  // what a run that died left
    try {
        {
            auto file = platform::File::open(partial, mode);
            std::uint64_t written = 0;
            const auto put = [&](std::string_view piece) {
                file.writeAt(written, std::span(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size()));
                written += piece.size();
            };
            std::string crlf;
            if (kWindowsText) put("\xEF\xBB\xBF");
            fill([&](std::string_view piece) {
                if (!kWindowsText) return put(piece);
                // No value holds a line break of its own (each is escaped), so each is a line end.
                crlf.clear();
                for (const char c : piece) {
                    if (c == '\n') crlf += '\r';
                    crlf += c;
                }
                put(crlf);
            });
            file.sync();
            file.close();
        }
        platform::moveFile(partial, path);
        platform::syncFolder(path.parent_path());
    } catch (...) {
        // The name was free when it was chosen: whatever lies there is this run's own.
        platform::discardFile(partial);
        platform::discardFile(path);
        throw;
    }
}

}  // namespace

void writeListFile(const ValueChanges& changes, const std::filesystem::path& cookbook,
                   const std::filesystem::path& backup, const std::filesystem::path& list,
                   platform::OpenMode mode) {
    writeDurably(list, mode, [&](const auto& write) { changes.writeTo(cookbook, backup, write); });
}

void writeTableFile(const ValueChanges& changes, const std::filesystem::path& table, platform::OpenMode mode) {
    writeDurably(table, mode, [&](const auto& write) { changes.writeTableTo(write); });
}

std::filesystem::path writePreviewList(const ValueChanges& changes, const std::filesystem::path& cookbook,
                                       const std::filesystem::path& list) {
    platform::removeFile(list);
    writeListFile(changes, cookbook, {}, list, platform::OpenMode::CreateNewPrivate);
    return list;
}

}  // namespace zestrel::upgrade
