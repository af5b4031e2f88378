#include "upgrade/cookbook_replace.h"

#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/file_replace.h"
#include "platform/path_text.h"
#include "platform/file_system.h"
#include "store/db_function.h"
#include "store/failure_text.h"
#include "store/jet/failure.h"
#include "text/utf8.h"
#include "upgrade/backup_naming.h"
#include "upgrade/backup_origin.h"
#include "upgrade/file_name_of.h"
#include "upgrade/frm_main_upgrade.h"
#include "upgrade/list_file.h"
#include "upgrade/new_database_check.h"
#include "upgrade/program_folder_room.h"

namespace zestrel {

namespace upgrade {

std::filesystem::path cookbookBehind(const std::filesystem::path& given) {
    try {
        return platform::followLink(given);
    } catch (const platform::FileError& e) {
        if (e.errorNumber() != EPERM) throw;
        throw Failure(failure::runtime::kPermissionDenied,
                      "Permission denied: " + platform::shownPath(given) +
                          " is a symbolic link that another user made to a file that is not theirs; it is not "
                          "followed. Name the cookbook itself. Nothing was changed.");
    }
}

namespace {

// The cookbook opened to write, where the run's lock wants such a handle and its owner lets us.
std::optional<platform::File> openWritableToHold(const std::filesystem::path& cookbook) {
    if (!platform::File::kWriteLockWantsWritableHandle) return std::nullopt;
    try {
        return platform::File::open(cookbook, platform::OpenMode::ReadWrite, platform::Links::Refuse);
    } catch (const platform::FileError& e) {
        if (e.errorNumber() != EACCES && e.errorNumber() != EROFS && e.errorNumber() != EPERM) throw;
        return std::nullopt;
    }
}

}  // namespace

// The run's lock on the cookbook needs write access, so that a user who may only read the cookbook
// cannot hold every upgrade off. A cookbook its owner made read-only is held as a reader holds it.
HeldCookbook holdCookbook(const std::filesystem::path& cookbook) {
    std::optional<platform::File> writable = openWritableToHold(cookbook);
    platform::File file = writable ? std::move(*writable)
                                   : platform::File::open(cookbook, platform::OpenMode::ReadOnly, platform::Links::Refuse);
    if (!(writable ? file.tryWriteLock() : file.tryLock()))
        throw Failure(failure::kFileInUse, "Could not use " + platform::shownPath(cookbook) +
                                      ": another upgrade or restore of this cookbook is running. Nothing was changed.");
    const platform::FileState state = file.state();
    return {std::move(file), state};
}

void requireNoOtherWriters(const platform::Folder& folder, const std::filesystem::path& cookbook) {
    if (!platform::othersMayReplaceIn(folder.state())) return;
    throw Failure(failure::runtime::kPermissionDenied,
                  "Permission denied: the cookbook " + platform::shownPath(cookbook) + " lies in the folder " +
                      platform::shownPath(folder.path()) +
                      ", and other users can replace files in this folder during the upgrade; move the cookbook to a "
                      "folder only you can write. Nothing was changed.");
}

void checkBeforeCopy(const std::filesystem::path& cookbook, const std::filesystem::path& backup) {
    const auto folder = platform::Folder::of(cookbook);
    requireNoOtherWriters(folder, cookbook);
    const std::filesystem::path probe = platform::temporaryPathFor(cookbook.filename());
    try {
        folder.remove(probe);  // what a run that died left beside it
        folder.openFile(probe, platform::OpenMode::CreateNewPrivate).close();
        folder.remove(probe);
    } catch (const platform::FileError& e) {
        folder.discard(probe);
        throw Failure(fileFailure(e).number(),
                      "Cannot write in the cookbook's folder " + platform::shownPath(folder.path()) + " (" +
                          std::strerror(e.errorNumber()) +
                          "): the upgraded cookbook could not take the original's place there. Nothing was changed.");
    }
    // The list of changed values and its table beside the backup have the longest names.
    for (const auto& name : {backup, upgrade::changeListPathFor(backup), upgrade::changeTablePathFor(backup)}) {
        const platform::NameRoom room = platform::nameRoom(name);
        if (room.fits()) continue;
        throw Failure(failure::runtime::kBadFileName, "Bad file name: the backup of " + platform::shownPath(cookbook) +
                                        " needs the name " + platform::shownPath(name.filename()) + ", " +
                                        std::to_string(room.length) + " long, but its folder allows names of at most " +
                                        std::to_string(room.limit) +
                                        ". Give the cookbook a shorter name. Nothing was changed.");
    }
}

CookbookOrigin originOf(const std::u16string& given, const std::filesystem::path& cookbook, const platform::FileState& state) {
    return {platform::pathOfText(given), platform::resolvedPath(cookbook), state.identity(), state.size, state.modified,
            nowNanoseconds(), std::nullopt};
}

}  // namespace upgrade

namespace {

// The places a replacement works in, each folder held open for the whole of it.
struct ReplacePlaces {
    platform::Folder cookbookFolder;
    platform::Folder backupFolder;
    platform::Folder databaseFolder;
    std::filesystem::path cookbookName;
    std::filesystem::path backupName;
    std::filesystem::path databaseName;

    platform::Place cookbook() const { return {cookbookFolder, cookbookName}; }
    platform::Place backup() const { return {backupFolder, backupName}; }
    platform::Place database() const { return {databaseFolder, databaseName}; }
};

// The backup, made while the original stays at the cookbook's path. The name was free when it was
// chosen, so whatever a failed attempt left there is this run's own and goes again.
void makeBackup(const ReplacePlaces& at) {
    if (at.backupFolder.entry(at.backupName)) throw platform::FileError("copy to", at.backup().path(), EEXIST);
    try {
        platform::linkOrCopy(at.cookbook(), at.backup());
    } catch (...) {
        const Failure failure = currentFailure();
        try {
            at.backupFolder.remove(at.backupName);
        } catch (const platform::FileError&) {
            // The failure below is what the owner needs to know; the original is still in place.
        }
        throw failure;
    }
}

void forgetBackup(const ReplacePlaces& at) {
    try {
        at.backupFolder.remove(at.backupName);
        at.backupFolder.remove(upgrade::originNameFor(at.backupName));
    } catch (const platform::FileError&) {
        // The original is at the cookbook's path; a second copy of it in Backup harms nothing.
    }
}

// A replacement failed. When the cookbook's path still leads to the original, the backup made for
// this run is only a second copy of it and goes again. When it leads to the file this run put
// there (a step after the rename failed), the original is put back from the backup in one atomic
// step, with the access recorded of it at the start, and the backup then goes. When it leads to
// anything else, another program put it there: nothing is moved onto it, and the message says
// where the original lies.
[[noreturn]] void undoReplace(const ReplacePlaces& at, const platform::FileState& original,
                              const std::optional<upgrade::Identity>& placed, const Failure& replacing) {
    const auto now = at.cookbookFolder.entry(at.cookbookName);
    const std::string originalAt = "; the original cookbook lies at " + platform::shownPath(at.backup().path()) + ".";
    if (now && now->identity() == original.identity()) {
        forgetBackup(at);
        throw Failure(replacing.number(), replacing.description() + " The cookbook was not changed.");
    }
    if (!now || !placed || now->identity() != *placed)
        throw Failure(replacing.number(), replacing.description() + " Another program put a different file at " +
                                              platform::shownPath(at.cookbook().path()) +
                                              " and nothing was moved onto it" + originalAt);
    try {
        platform::replaceFile(at.backup(), at.cookbook(), platform::Source::Keep, original);
    } catch (...) {
        const Failure back = currentFailure();
        throw Failure(replacing.number(), replacing.description() + " Putting the original cookbook back failed too (" +
                                              back.description() + ")" + originalAt);
    }
    forgetBackup(at);
    throw Failure(replacing.number(), replacing.description() + " The original cookbook was put back at " +
                                          platform::shownPath(at.cookbook().path()) + ".");
}

// The cookbook's path leads to the file this run read, as it was then; otherwise another program
// wrote, moved or replaced it during the upgrade, and carrying on would lose what it did.
void requireUnchanged(const ReplacePlaces& at, const platform::FileState& read) {
    const auto now = at.cookbookFolder.entry(at.cookbookName);
    if (now && now->unchangedSince(read)) return;
    throw Failure(failure::kChangedByAnother, "The cookbook " + platform::shownPath(at.cookbook().path()) +
                                         " changed during the upgrade (another program wrote, moved or replaced it); "
                                         "nothing was changed. Upgrade it again when that program is done with it.");
}

// The original's state after the backup was made: a hard link changes its link count and so its
// change time, and nothing else; a write in the meantime changes its size or modification time.
platform::FileState stateAfterBackup(const ReplacePlaces& at, const platform::FileState& read) {
    auto now = at.cookbookFolder.entry(at.cookbookName);
    if (!now) requireUnchanged(at, read);
    platform::FileState expected = read;
    expected.changed = now->changed;
    requireUnchanged(at, expected);
    return *now;
}

// The run's record goes once the backup and the cookbook agree again. Should that fail, the next
// run reads the record and finds the same: the outcome stands.
void forgetRun(const upgrade::ProgramFolderRoom& room) {
    try {
        room.removeRunRecord();
    } catch (const platform::FileError&) {
    }
}

// The backup's record learns the file the upgrade put at the cookbook's path, so that restore
// finds the backup also after the cookbook was moved. Should that fail, the path still ties them.
void recordUpgradedFile(const ReplacePlaces& at, upgrade::CookbookOrigin origin) {
    try {
        const auto now = at.cookbookFolder.entry(at.cookbookName);
        if (!now) return;
        origin.upgraded = now->identity();
        upgrade::writeOrigin(at.backupFolder, at.backupName, upgrade::KeptAs::Backup, origin);
    } catch (const platform::FileError&) {
    }
}

}  // namespace

// A failed run leaves no new database behind (a full-size one on a full disk would keep the disk
// full): the one made for this run goes; once it is being filled, only that very file, never one
// that another program put at its path.
void FrmMainUpgrade::discardFilledDatabase(const std::u16string& DataTo) {
    const std::filesystem::path database(DataTo);
    const auto now = platform::fileState(database);
    if (now && (!filledDatabase_ || now->identity() == *filledDatabase_)) platform::discardFile(database);
}


// The order keeps a complete cookbook at the cookbook's path at every moment, also across a power
// loss: the backup is made while the original stays in place (a hard link, or a durable copy
// named only once complete); then the new database takes the original's place in one atomic
// rename (copied durably beside the cookbook first when it lies on another file system); only
// then is what is left in the program's folder removed. Just before the backup and again just
// before the rename the cookbook must still be the file this run read, unchanged: a save another
// program made meanwhile would otherwise be lost. The run's record lets the next run remove a
// backup whose upgrade never happened, should this run die between the two; the backup's own
// record, written before it, ties it to this cookbook. Every step acts on names in folders held
// open, never through a link, and gives the new file the access recorded of the original.
FrmMainUpgrade::Replaced FrmMainUpgrade::replaceCookbook(const std::u16string& DataFrom,
                                                         const std::filesystem::path& cookbook,
                                                         const std::u16string& DataTo, const upgrade::FileIdentity& filled,
                                                         upgrade::HeldCookbook& held) {
    const auto room = upgrade::ProgramFolderRoom::current();
    room.makeBackupFolder();
    const std::filesystem::path backup = room.freeBackupPath(dbFunction::FileNameOf(DataFrom));
    const std::filesystem::path database(DataTo);
    const ReplacePlaces at{platform::Folder::of(cookbook), room.openBackupFolder(), platform::Folder::of(database),
                           cookbook.filename(), backup.filename(), database.filename()};
    upgrade::requireNoOtherWriters(at.cookbookFolder, cookbook);
    const platform::FileState& original = held.state;
    upgrade::requireSameDatabase(database, filled);
    requireUnchanged(at, original);
    const upgrade::CookbookOrigin origin = upgrade::originOf(DataFrom, cookbook, original);
    room.writeRunRecord({origin.resolved, at.backupName, original.identity(), original.size});
    try {
        upgrade::writeOrigin(at.backupFolder, at.backupName, upgrade::KeptAs::Backup, origin);
        makeBackup(at);
    } catch (...) {
        forgetBackup(at);
        forgetRun(room);
        throw;
    }
    Replaced replaced{backup, {}, {}};
    upgrade::Identity placed{};
    bool renaming = false;
    try {
        const platform::FileState backedUp = stateAfterBackup(at, original);
        replaced.changeList = writeValueChanges(platform::textOfPath(origin.resolved), backup);
        replaced.access = platform::replaceFile(at.database(), at.cookbook(), platform::Source::Move, original, [&] {
            requireUnchanged(at, backedUp);
            held.file.close();  // the lock goes with it: no handle of ours stands in the rename's way
            renaming = true;
        }, &placed);
    } catch (...) {
        if (!replaced.changeList.empty()) {
            platform::discardFile(replaced.changeList);
            platform::discardFile(upgrade::changeTablePathFor(backup));
        }
        try {
            undoReplace(at, original, renaming ? std::optional(placed) : std::nullopt, currentFailure());
        } catch (...) {
            forgetRun(room);
            throw;
        }
    }
    recordUpgradedFile(at, origin);
    forgetRun(room);
    try {
        at.databaseFolder.remove(at.databaseName);  // the source of a copy from another file system
    } catch (const platform::FileError&) {
        // The upgrade is complete; the next run deletes a temporary database left behind.
    }
    return replaced;
}


// The list is written, and made durable, before the new database takes the cookbook's place: a
// cookbook whose values changed never stands upgraded without it.
std::filesystem::path FrmMainUpgrade::writeValueChanges(const std::u16string& DataFrom,
                                                        const std::filesystem::path& backup) {
    if (changes_.empty()) return {};
    const std::filesystem::path list = upgrade::changeListPathFor(backup);
    upgrade::writeListFile(changes_, platform::pathOfText(DataFrom), backup, list, platform::OpenMode::CreateNewPrivate);
    try {
        upgrade::writeTableFile(changes_, upgrade::changeTablePathFor(backup), platform::OpenMode::CreateNewPrivate);
    } catch (...) {
        platform::discardFile(list);
        throw;
    }
    return list;
}

}  // namespace zestrel
