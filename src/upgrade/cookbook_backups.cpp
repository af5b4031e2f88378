#include "upgrade/cookbook_backups.h"

#include <algorithm>
#include <array>
#include <vector>
#include <cerrno>

#include "platform/file.h"
#include "platform/path_text.h"
#include "platform/file_replace.h"
#include "platform/file_system.h"
#include "store/failure_text.h"
#include "store/jet/failure.h"
#include "store/jet/header_page.h"
#include "text/utf8.h"
#include "upgrade/cookbook_replace.h"
#include "upgrade/source_check.h"
#include "upgrade/file_name_of.h"

namespace zestrel {

namespace fs = std::filesystem;

namespace {

std::string shown(const fs::path& path) { return platform::shownPath(path); }

// The cookbook a restore works on: its own link followed once, its folder held open and open to
// no other writer, and what stands at its name: nothing, or a regular file held locked.
struct RestoreTarget {
    fs::path given;
    fs::path cookbook;
    platform::Folder folder;
    std::optional<upgrade::HeldCookbook> held;

    platform::Place place() const { return {folder, cookbook.filename()}; }
    std::optional<upgrade::Identity> identity() const {
        return held ? std::optional(held->state.identity()) : std::nullopt;
    }
};

RestoreTarget targetOf(const fs::path& given) {
    const fs::path cookbook = upgrade::cookbookBehind(given);
    RestoreTarget target{given, cookbook, platform::Folder::of(cookbook), std::nullopt};
    upgrade::requireNoOtherWriters(target.folder, cookbook);
    const auto standing = target.folder.entry(cookbook.filename());
    if (!standing) return target;
    if (!standing->isRegular())
        throw Failure(failure::runtime::kPathFileAccessError,
                      "Path/File access error: " + shown(given) +
                          " is not a regular file (a folder, link, pipe or device stands at that name); nothing was "
                          "restored.");
    upgrade::requireNotOpenElsewhere(cookbook);
    target.held = upgrade::holdCookbook(cookbook);
    return target;
}

// The backup, opened through its folder without following a link, must be a regular file that is
// a Jet database: a file that only carries a backup's name is never put in a cookbook's place.
platform::FileState requireCookbookBackup(const platform::Place& backup, const std::optional<std::uint64_t>& size) {
    const auto state = backup.folder.entry(backup.name);
    const auto refuse = [&](const std::string& why) -> Failure {
        return Failure(failure::kCannotOpenDatabase, "The backup " + shown(backup.path()) + " " + why +
                                                         "; nothing was restored.");
    };
    if (!state || !state->isRegular()) throw refuse("is not a regular file");
    if (size && state->size != *size) throw refuse("is not the size its record gives");
    const platform::File file = backup.folder.openFile(backup.name, platform::OpenMode::ReadOnly);
    std::array<std::uint8_t, 0x20> start{};
    if (file.size() < start.size()) throw refuse("is not a Jet database");
    file.readAt(0, start);
    if (!jet::identify(start).version) throw refuse("is not a Jet database");
    return file.state();
}

// A kept copy of the file now at the cookbook's name that a restore which died already made; the
// next free "_upgraded" name otherwise.
fs::path keepingName(const platform::Folder& backups, const RestoreTarget& target, const upgrade::ProgramFolderRoom& room) {
    const platform::FileState& now = target.held->state;
    std::error_code error;
    for (fs::directory_iterator it(room.backupFolder(), error), end; !error && it != end; it.increment(error)) {
        const auto kept = upgrade::keptNameOf(it->path().filename());
        if (!kept) continue;
        const auto origin = upgrade::readOrigin(backups, *kept, upgrade::KeptAs::Upgraded);
        if (origin && origin->identity == now.identity() && origin->size == now.size && origin->modified == now.modified)
            return *kept;
    }
    return room.freeKeepingPath(dbFunction::FileNameOf(platform::textOfPath(target.cookbook)), u"_upgraded").filename();
}

// The file at the cookbook's path is kept in Backup first (a hard link, or a durable copy named
// only once complete), its record written before it.
fs::path keepStanding(const platform::Folder& backups, const RestoreTarget& target,
                      const upgrade::ProgramFolderRoom& room) {
    const fs::path kept = keepingName(backups, target, room);
    if (const auto there = backups.entry(kept); there && there->identity() == target.held->state.identity())
        return backups.pathOf(kept);
    backups.remove(kept);  // a partial attempt of a restore that died: its record names this very file
    upgrade::writeOrigin(backups, kept, upgrade::KeptAs::Upgraded,
                         upgrade::originOf(platform::textOfPath(target.given), target.cookbook, target.held->state));
    platform::linkOrCopy(target.place(), {backups, kept});
    return backups.pathOf(kept);
}

// Whether the two open files hold the same bytes.
bool sameContent(const platform::File& a, const platform::File& b) {
    const std::uint64_t size = a.size();
    if (b.size() != size) return false;
    std::vector<std::uint8_t> left(1 << 20), right(1 << 20);
    for (std::uint64_t at = 0; at < size;) {
        const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left.size(), size - at));
        a.readAt(at, std::span(left.data(), n));
        b.readAt(at, std::span(right.data(), n));
        if (!std::equal(left.begin(), left.begin() + static_cast<std::ptrdiff_t>(n), right.begin())) return false;
        at += n;
    }
    return true;
}

Restored putBack(const platform::Place& backup, const platform::FileState& backupState, RestoreTarget& target,
                 const upgrade::ProgramFolderRoom& room) {
    Restored restored{backup.path(), {}};
    // A restore asked again (or one that died after its rename) finds the backup in place already.
    if (target.held && sameContent(target.held->file, backup.folder.openFile(backup.name, platform::OpenMode::ReadOnly))) {
        restored.alreadyThere = true;
        return restored;
    }
    if (target.held) restored.kept = keepStanding(room.openBackupFolder(), target, room);
    const platform::FileState access = target.held ? target.held->state : backupState;
    platform::replaceFile(backup, target.place(), platform::Source::Copy, access, [&] {
        const auto now = target.folder.entry(target.cookbook.filename());
        const bool unchanged = target.held ? now && now->identity() == target.held->state.identity() &&
                                                 now->size == target.held->state.size &&
                                                 now->modified == target.held->state.modified
                                           : !now;
        if (!unchanged)
            throw Failure(failure::kChangedByAnother, "The cookbook " + shown(target.given) +
                                                          " changed during the restore (another program wrote, moved "
                                                          "or replaced it); nothing was restored.");
        if (target.held) target.held->file.close();
    });
    return restored;
}

// The program folder locked and tidied for a restore; held to its end.
std::optional<platform::FolderLock> lockForRestore(const upgrade::ProgramFolderRoom& room) {
    auto lock = room.lock();
    room.tidy();
    return lock;
}

}  // namespace

BackupsOfCookbook backupsOfCookbook(const fs::path& cookbookPath) {
    const auto room = upgrade::ProgramFolderRoom::current();
    const fs::path cookbook = upgrade::cookbookBehind(cookbookPath);
    const auto now = platform::fileState(cookbook);
    const auto identity = now && now->isRegular() ? std::optional(now->identity()) : std::nullopt;
    return {room.backupFolder(), room.backupsOf(platform::resolvedPath(cookbook), identity),
            room.unrecordedBackupsOf(dbFunction::FileNameOf(platform::textOfPath(cookbookPath)))};
}

Restored restoreNewestBackup(const fs::path& cookbookPath) {
    const auto room = upgrade::ProgramFolderRoom::current();
    const auto lock = lockForRestore(room);
    RestoreTarget target = targetOf(cookbookPath);
    const auto backups = room.backupsOf(platform::resolvedPath(target.cookbook), target.identity());
    if (backups.empty()) {
        const auto unrecorded = room.unrecordedBackupsOf(dbFunction::FileNameOf(platform::textOfPath(cookbookPath)));
        std::string more;
        if (!unrecorded.empty())
            more = " " + std::to_string(unrecorded.size()) + " backup(s) of that file name made by an earlier version "
                   "carry no record of their cookbook, the newest " + shown(unrecorded.back()) +
                   "; restore one by naming it with --from.";
        throw Failure(failure::runtime::kFileNotFound, "File not found: there is no backup of " + shown(cookbookPath) +
                                                           " in " + shown(room.backupFolder()) + "." + more +
                                                           " Nothing was changed.");
    }
    const platform::Folder folder = room.openBackupFolder();
    const platform::Place backup{folder, backups.back().path.filename()};
    const platform::FileState state = requireCookbookBackup(backup, backups.back().origin.size);
    return putBack(backup, state, target, room);
}

Restored restoreBackup(const fs::path& backupPath, const fs::path& cookbookPath) {
    const auto room = upgrade::ProgramFolderRoom::current();
    const auto lock = lockForRestore(room);
    RestoreTarget target = targetOf(cookbookPath);
    const platform::Folder folder = platform::Folder::of(backupPath);
    const platform::Place backup{folder, backupPath.filename()};
    const platform::FileState state = requireCookbookBackup(backup, std::nullopt);
    if (target.held && state.identity() == target.held->state.identity())
        throw Failure(failure::runtime::kInvalidProcedureCall, "Invalid procedure call or argument: " +
                                                                   shown(backupPath) + " is the cookbook itself.");
    return putBack(backup, state, target, room);
}

}  // namespace zestrel
