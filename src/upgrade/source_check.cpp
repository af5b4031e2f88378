#include "upgrade/source_check.h"

#include <filesystem>
#include <system_error>

#include "platform/file.h"
#include "platform/open_elsewhere.h"
#include "platform/path_text.h"
#include "store/dao/db_engine.h"
#include "store/jet/check/database_check.h"
#include "store/jet/failure.h"
#include "text/utf8.h"
#include "upgrade/program_folder_room.h"
#include "upgrade/source_layout.h"

namespace zestrel::upgrade {

namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kMegabyte = 1024 * 1024;

std::string megabytes(std::uint64_t bytes) { return std::to_string((bytes + kMegabyte - 1) / kMegabyte); }

std::uint64_t sizeOf(const fs::path& cookbook) {
    std::error_code error;
    const auto size = fs::file_size(cookbook, error);
    return error ? 0 : size;
}

// The copy writes as many bytes as the cookbook holds, near enough (a Jet 4 cookbook's texts take
// fewer in the new layout): no more than layout 1.3 can hold.
void requireWithinLimit(const fs::path& cookbook, std::uint64_t size) {
    if (size < kLargestNewCookbook) return;
    throw Failure(failure::kNotEnoughSpace,
                  "The cookbook " + platform::shownPath(cookbook) + " holds " + megabytes(size) +
                      " MB, and a cookbook of layout 1.3 can hold at most 1024 MB (1 GB). Delete recipes in the "
                      "cookbook program, or split the cookbook, then upgrade. Nothing was changed.");
}

void requireRoomIn(const fs::path& folder, std::uint64_t needed) {
    std::error_code error;
    const auto space = fs::space(folder, error);
    if (error || space.available >= needed) return;
    throw Failure(failure::kNotEnoughSpace, "Not enough space in " + platform::shownPath(folder) + " (" +
                                                megabytes(needed) + " MB needed, " + megabytes(space.available) +
                                                " MB free). Nothing was changed.");
}

// The program folder takes the new database and the backup; the cookbook's own folder takes the
// new file too when it lies on another disk (a move within a disk takes no room).
void requireRoom(const fs::path& cookbook, std::uint64_t size) {
    const auto room = ProgramFolderRoom::current();
    requireRoomIn(room.folder(), 2 * size);
    const fs::path cookbookFolder = cookbook.has_parent_path() ? cookbook.parent_path() : fs::path(".");
    const auto cookbookDisk = platform::fileIdentity(cookbookFolder);
    const auto programDisk = platform::fileIdentity(room.folder());
    if (!cookbookDisk || !programDisk || cookbookDisk->first != programDisk->first) requireRoomIn(cookbookFolder, size);
}

void requireStillJudged(const std::u16string& cookbook, Layout judged, const std::u16string& judgedMarker) {
    const SourceLayout now = sourceLayoutOf(cookbook, judgedMarker);
    if (now.layout == judged) return;
    throw Failure(failure::kChangedByAnother,
                  "The cookbook " + platform::shownText(cookbook) +
                      " changed after it was chosen: it is no longer a cookbook of layout " +
                      text::toUtf8(layoutName(judged)) +
                      " (another upgrade or program may have written it). Choose it again. Nothing was changed.");
}

void requireSoundTables(const std::u16string& cookbook) {
    auto database = dao::DBEngine::Instance().OpenDatabase(platform::pathOfText(cookbook));
    const auto report = jet::check::checkTablesNamed(database->file(), {u"Recipe", u"Ingred"});
    database->Close();
    if (report.clean()) return;
    std::string faults = report.faults.front();
    if (report.faults.size() > 1) faults += " (and " + std::to_string(report.faults.size() - 1) + " more faults)";
    throw Failure(failure::kCannotOpenDatabase,
                  "The database " + platform::shownText(cookbook) + " is damaged: " + faults +
                      ". Its rows cannot all be read, so it is not upgraded; repair it in the cookbook program "
                      "(compact and repair). The cookbook was not changed.");
}

}  // namespace

void requireNotOpenElsewhere(const fs::path& cookbook) {
    // Another run of this program holds it open for writing too, under its lock: said as such.
    if (platform::writeLockHeldElsewhere(cookbook))
        throw Failure(failure::kFileInUse, "Could not use " + platform::shownPath(cookbook) +
                                               ": another upgrade or restore of this cookbook is running. Nothing "
                                               "was changed.");
    const auto why = platform::openElsewhere(cookbook);
    if (!why) return;
    throw Failure(failure::kCannotOpenFile, "Cannot use " + platform::shownPath(cookbook) +
                                                ": another program has the cookbook open (" + *why +
                                                "); close it and try again. Nothing was changed.");
}

void requireReadyToCopy(const std::u16string& cookbook, Layout judged, const std::u16string& judgedMarker) {
    const fs::path path = platform::pathOfText(cookbook);
    requireNotOpenElsewhere(path);
    const std::uint64_t size = sizeOf(path);
    requireWithinLimit(path, size);
    requireStillJudged(cookbook, judged, judgedMarker);
    requireSoundTables(cookbook);
    requireRoom(path, size);
}

}  // namespace zestrel::upgrade
