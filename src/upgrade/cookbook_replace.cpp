#include "upgrade/cookbook_replace.h"

#include <cerrno>
#include <cstring>

#include "platform/file_replace.h"
#include "platform/file_system.h"
#include "store/db_function.h"
#include "store/failure_text.h"
#include "store/jet/failure.h"
#include "text/utf8.h"
#include "upgrade/backup_naming.h"
#include "upgrade/file_name_of.h"
#include "upgrade/frm_main_upgrade.h"
#include "upgrade/new_database_check.h"
#include "upgrade/program_folder_room.h"

namespace zestrel {

namespace upgrade {

HeldCookbook holdCookbook(const std::filesystem::path& cookbook) {
    platform::File file = platform::File::open(cookbook, platform::OpenMode::ReadOnly);
    if (!file.tryLock())
        throw Failure(failure::kFileInUse, "Could not use " + text::toUtf8(cookbook.u16string()) +
                                      ": another upgrade of this cookbook is running. Nothing was changed.");
    const platform::FileState state = file.state();
    return {std::move(file), state};
}


void checkBeforeCopy(const std::filesystem::path& cookbook, const std::filesystem::path& backup) {
    const std::filesystem::path probe = platform::temporaryPathFor(cookbook);
    try {
        platform::removeFile(probe);  // what a run that died left beside it
        platform::File::open(probe, platform::OpenMode::CreateNewPrivate, platform::Links::Refuse).close();
        platform::removeFile(probe);
    } catch (const platform::FileError& e) {
        platform::discardFile(probe);
        const std::filesystem::path folder = cookbook.parent_path();
        throw Failure(fileFailure(e).number(),
                      "Cannot write in the cookbook's folder " + text::toUtf8(folder.u16string()) + " (" +
                          std::strerror(e.errorNumber()) +
                          "): the upgraded cookbook could not take the original's place there. Nothing was changed.");
    }
    // The list of changed values beside the backup has the longest name of the two.
    for (const auto& name : {backup, upgrade::changeListPathFor(backup)}) {
        const platform::NameRoom room = platform::nameRoom(name);
        if (room.fits()) continue;
        throw Failure(failure::runtime::kBadFileName, "Bad file name: the backup of " + text::toUtf8(cookbook.u16string()) +
                                        " needs the name " + text::toUtf8(name.filename().u16string()) + ", " +
                                        std::to_string(room.length) + " long, but its folder allows names of at most " +
                                        std::to_string(room.limit) +
                                        ". Give the cookbook a shorter name. Nothing was changed.");
    }
}


}  // namespace upgrade

namespace {

// The backup, made while the original stays at the cookbook's path. The name was free when it was
// chosen, so whatever a failed attempt left there is this run's own and goes again.
void makeBackup(const std::filesystem::path& cookbook, const std::filesystem::path& backup) {
    if (platform::entryExists(backup)) throw platform::FileError("copy to", backup, EEXIST);
    try {
        platform::linkOrCopy(cookbook, backup);
    } catch (...) {
        const Failure failure = currentFailure();
        try {
            platform::removeFile(backup);
        } catch (const platform::FileError&) {
            // The failure below is what the owner needs to know; the original is still in place.
        }
        throw failure;
    }
}

// A replacement failed. When the cookbook's path still leads to the original, the backup made for
// this run is only a second copy of it and goes again, so that no backup of an upgrade that did
// not happen is left. When the rename had already happened (a later step failed), the original is
// put back from the backup in one atomic step, and the backup then goes; when even that fails, the
// backup stays and the message says where the original lies.
[[noreturn]] void undoReplace(const std::filesystem::path& cookbook, const upgrade::FileIdentity& original,
                              const std::filesystem::path& backup, const Failure& replacing) {
    bool putBack = false;
    try {
        const auto now = platform::fileState(cookbook);
        if (!now || now->identity() != original) {
            platform::replaceFile(backup, cookbook, platform::Source::Keep);
            putBack = true;
        }
    } catch (...) {
        const Failure back = currentFailure();
        throw Failure(replacing.number(), replacing.description() + " Putting the original cookbook back failed too (" +
                                              back.description() + "); the original cookbook lies at " +
                                              text::toUtf8(backup.u16string()) + ".");
    }
    try {
        platform::removeFile(backup);
    } catch (const platform::FileError&) {
        // The original is at the cookbook's path; a second copy of it in Backup harms nothing.
    }
    throw Failure(replacing.number(), replacing.description() + (putBack ? " The original cookbook was put back at " +
                                                                              text::toUtf8(cookbook.u16string()) + "."
                                                                        : " The cookbook was not changed."));
}

// The cookbook's path leads to the file this run read, as it was then; otherwise another program
// wrote, moved or replaced it during the upgrade, and carrying on would lose what it did.
void requireUnchanged(const std::filesystem::path& cookbook, const platform::FileState& read) {
    const auto now = platform::fileState(cookbook);
    if (now && now->unchangedSince(read)) return;
    throw Failure(failure::kChangedByAnother, "The cookbook " + text::toUtf8(cookbook.u16string()) +
                                         " changed during the upgrade (another program wrote, moved or replaced it); "
                                         "nothing was changed. Upgrade it again when that program is done with it.");
}

// The original's state after the backup was made: a hard link changes its link count and so its
// change time, and nothing else; a write in the meantime changes its size or modification time.
platform::FileState stateAfterBackup(const std::filesystem::path& cookbook, const platform::FileState& read) {
    auto now = platform::fileState(cookbook);
    if (!now) requireUnchanged(cookbook, read);
    platform::FileState expected = read;
    expected.changed = now->changed;
    requireUnchanged(cookbook, expected);
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
// backup whose upgrade never happened, should this run die between the two.
FrmMainUpgrade::Replaced FrmMainUpgrade::replaceCookbook(const std::u16string& DataFrom,
                                                         const std::filesystem::path& cookbook,
                                                         const std::u16string& DataTo, const upgrade::FileIdentity& filled,
                                                         upgrade::HeldCookbook& held) {
    const auto room = upgrade::ProgramFolderRoom::current();
    room.makeBackupFolder();
    const std::filesystem::path backup = room.freeBackupPath(dbFunction::FileNameOf(DataFrom));
    const std::filesystem::path database(DataTo);
    const upgrade::FileIdentity original = held.state.identity();
    upgrade::requireSameDatabase(database, filled);
    requireUnchanged(cookbook, held.state);
    room.writeRunRecord({cookbook, backup, original, held.state.size});
    try {
        makeBackup(cookbook, backup);
    } catch (...) {
        forgetRun(room);
        throw;
    }
    Replaced replaced{backup, {}, {}};
    try {
        const platform::FileState backedUp = stateAfterBackup(cookbook, held.state);
        replaced.changeList = writeValueChanges(DataFrom, backup);
        replaced.access = platform::replaceFile(database, cookbook, platform::Source::Move, [&] {
            requireUnchanged(cookbook, backedUp);
            held.file.close();  // the lock goes with it: no handle of ours stands in the rename's way
        });
    } catch (...) {
        if (!replaced.changeList.empty()) platform::discardFile(replaced.changeList);
        try {
            undoReplace(cookbook, original, backup, currentFailure());
        } catch (...) {
            forgetRun(room);
            throw;
        }
    }
    forgetRun(room);
    try {
        platform::removeFile(database);  // the source of a copy from another file system
    } catch (const platform::FileError&) {
        // The upgrade is complete; the next run deletes a temporary database left behind.
    }
    return replaced;
}


// The list is written, and made durable, before the new database takes the cookbook's place: a
// cookbook whose values changed never stands upgraded without it. It is written under a temporary
// name and renamed once complete, so that its name never leads to half a list.
std::filesystem::path FrmMainUpgrade::writeValueChanges(const std::u16string& DataFrom,
                                                        const std::filesystem::path& backup) {
    if (changes_.empty()) return {};
    const std::filesystem::path list = upgrade::changeListPathFor(backup);
    const std::filesystem::path partial = platform::temporaryPathFor(list);
    platform::removeFile(partial);  // what a run that died left
    try {
        {
            auto file = platform::File::open(partial, platform::OpenMode::CreateNew);
            std::uint64_t written = 0;
            changes_.writeTo(std::filesystem::path(DataFrom), backup, [&](std::string_view piece) {
                file.writeAt(written, std::span(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size()));
                written += piece.size();
            });
            file.sync();
            file.close();
        }
        platform::moveFile(partial, list);
        platform::syncFolder(list.parent_path());
    } catch (...) {
        // The name was free when the backup's was chosen: whatever lies there is this run's own.
        platform::discardFile(partial);
        platform::discardFile(list);
        throw;
    }
    return list;
}

}  // namespace zestrel
