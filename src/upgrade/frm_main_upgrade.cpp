#include "upgrade/frm_main_upgrade.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>

#include "platform/file.h"
#include "platform/file_replace.h"
#include "platform/file_system.h"
#include "store/dao/db_engine.h"
#include "store/db_function.h"
#include "store/failure_text.h"
#include "store/jet/failure.h"
#include "store/jet/check/database_check.h"
#include "text/utf8.h"
#include "upgrade/extra_tables.h"
#include "upgrade/file_name_of.h"
#include "upgrade/ingredient_columns.h"
#include "upgrade/recipe_columns.h"
#include "upgrade/run_record.h"

namespace zestrel {

namespace {

constexpr std::int32_t kOverflow = 6;
constexpr std::int32_t kDivisionByZero = 11;
constexpr std::int32_t kNewDatabaseFailedCheck = 3049;
constexpr std::int32_t kInvalidArgument = 5;
constexpr std::int32_t kNoCurrentRecord = 3021;
constexpr std::int32_t kFileInUse = 3045;
constexpr std::int32_t kChangedByAnother = 3197;
constexpr std::int32_t kBadFileName = 52;
constexpr int kStatusPause = 500;
constexpr const char16_t* kCurrentVersion = u"1.3";

std::int32_t checkedIncrement(std::int32_t value) {
    if (value == std::numeric_limits<std::int32_t>::max()) throw Failure(kOverflow, "Overflow");
    return value + 1;
}

// A new database whose creation failed part way may lack its Version row; moving it into
// the cookbook's place would give a cookbook without a version marker, so it counts as missing.
void requireVersionRow(dao::Database& target) {
    auto version = target.OpenRecordset(u"Version", dao::dbOpenSnapshot);
    if (version->RecordCount() == 0)
        throw Failure(kNoCurrentRecord, "No current record: the new database " + target.Name().string() +
                                             " has no row in its table 'Version'.");
    version->Close();
}

// The new database must pass the structural check before any file is moved; strictly, since
// this program wrote it.
void requireSoundStructure(const std::filesystem::path& database) {
    const auto report = jet::check::checkDatabaseFile(database, jet::check::CheckMode::Strict);
    if (report.clean()) return;
    throw Failure(kNewDatabaseFailedCheck,
                  "The new database failed its structural check (" + std::to_string(report.faults.size()) +
                      " faults; the first: " + report.faults.front() + "). The cookbook was not changed.");
}

using Identity = std::pair<std::uint64_t, std::uint64_t>;

Identity identityOf(const std::filesystem::path& path) {
    const auto identity = platform::fileIdentity(path);
    if (!identity) throw platform::FileError("find", path, ENOENT);
    return *identity;
}

// A run moves only the database it created and filled itself: one that another program put at
// the temporary path during the copy is never moved into the cookbook's place.
void requireSameDatabase(const std::filesystem::path& database, const Identity& filled) {
    if (platform::fileIdentity(database) == filled) return;
    throw Failure(kFileInUse, "Could not use " + database.string() +
                                  ": another program replaced or removed the new database while it was being "
                                  "filled. The cookbook was not changed.");
}

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
[[noreturn]] void undoReplace(const std::filesystem::path& cookbook, const Identity& original,
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
    throw Failure(kChangedByAnother, "The cookbook " + text::toUtf8(cookbook.u16string()) +
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

using upgrade::HeldCookbook;

// The run's record goes once the backup and the cookbook agree again. Should that fail, the next
// run reads the record and finds the same: the outcome stands.
void forgetRun(const std::filesystem::path& program) {
    try {
        upgrade::removeRunRecord(program);
    } catch (const platform::FileError&) {
    }
}

HeldCookbook holdCookbook(const std::filesystem::path& cookbook) {
    platform::File file = platform::File::open(cookbook, platform::OpenMode::ReadOnly);
    if (!file.tryLock())
        throw Failure(kFileInUse, "Could not use " + text::toUtf8(cookbook.u16string()) +
                                      ": another upgrade of this cookbook is running. Nothing was changed.");
    const platform::FileState state = file.state();
    return {std::move(file), state};
}

// What would otherwise stop the upgrade only after the whole copy is found before it: a cookbook
// folder that cannot take the new file, and a backup name (or the name of the list of changed
// values beside it) longer than its folder allows.
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
        throw Failure(kBadFileName, "Bad file name: the backup of " + text::toUtf8(cookbook.u16string()) +
                                        " needs the name " + text::toUtf8(name.filename().u16string()) + ", " +
                                        std::to_string(room.length) + " long, but its folder allows names of at most " +
                                        std::to_string(room.limit) +
                                        ". Give the cookbook a shorter name. Nothing was changed.");
    }
}

// What the owner should know beside a success: what of the original's owner and group the
// upgraded cookbook could not keep.
std::u16string accessNote(const platform::AccessCarried& carried) {
    if (carried.owner && carried.group) return u"";
    if (!carried.owner && !carried.group)
        return u"The upgraded cookbook could not keep the original's owner and group: it now belongs to the user "
               u"who ran the upgrade.";
    if (!carried.owner)
        return u"The upgraded cookbook could not keep the original's owner: it now belongs to the user who ran the "
               u"upgrade.";
    return u"The upgraded cookbook could not keep the original's group: it now has the group of the user who ran "
           u"the upgrade.";
}

// Every row the source's pages hold has been copied: a table whose usage map misses pages that
// hold its rows would otherwise lose those rows without a word.
void requireEveryRowCopied(dao::Database& source, const std::map<std::uint32_t, std::uint64_t>& stored,
                           const char16_t* table, std::uint64_t copied) {
    const auto definition = source.file().tableDefinition(table);
    const auto found = stored.find(definition.page);
    const std::uint64_t held = found == stored.end() ? 0 : found->second;
    if (held == copied) return;
    throw Failure(failure::kCannotOpenDatabase,
                  "The cookbook " + text::toUtf8(source.Name().u16string()) + " is damaged: its table " +
                      text::toUtf8(table) + " holds " + std::to_string(held) + " rows, but " + std::to_string(copied) +
                      " of them could be read. The cookbook was not changed.");
}

// A damaged cookbook stops the copy with the engine's failure, which names the file and the
// table; the owner learns as well that nothing was changed.
Failure sourceDamaged(const Failure& f, const dao::Database& source) {
    if (f.number() != failure::kCannotOpenDatabase || f.description().find(source.Name().string()) == std::string::npos)
        return f;
    return Failure(f.number(), f.description() + " The cookbook was not changed.");
}

// The source row's rID as text, for a message; empty when it cannot be read.
std::string ridOf(dao::Recordset& source) {
    try {
        const dao::Variant rid = source.Fields(u"rID").Value();
        return rid.isNull() ? std::string("Null") : "\"" + text::toUtf8(rid.toText()) + "\"";
    } catch (const Failure&) {
        return {};
    }
}

// Runs a step of one row's copy; a failure of the engine then also names the source row, so the
// owner can find the value to mend in the old cookbook.
template <typename Step>
void withRowNamed(const char16_t* table, dao::Recordset& source, Step&& step) {
    try {
        step();
    } catch (const Failure& f) {
        const std::string rid = ridOf(source);
        throw Failure(f.number(), f.description() + " The value comes from the row of table " +
                                      text::toUtf8(std::u16string(table)) +
                                      (rid.empty() ? std::string(" being copied.") : " with rID " + rid + "."));
    }
}

}  // namespace

std::filesystem::path freeBackupPath(const std::filesystem::path& backupFolder, const std::u16string& cookbookName) {
    return freeKeepingPath(backupFolder, cookbookName, u"_backup");
}

std::filesystem::path freeKeepingPath(const std::filesystem::path& folder, const std::u16string& cookbookName,
                                      const std::u16string& suffix) {
    if (cookbookName.size() < 4)
        throw Failure(kInvalidArgument, "Invalid procedure call or argument: the cookbook name \"" +
                                            text::toUtf8(cookbookName) + "\" is shorter than four characters.");
    const std::u16string stem = cookbookName.substr(0, cookbookName.size() - 4) + suffix;
    std::filesystem::path candidate = folder / (stem + u".rcp");
    // A list of changes left from a backup of that name, since removed, takes the name too.
    const auto taken = [](const std::filesystem::path& backup) {
        return platform::entryExists(backup) || platform::entryExists(upgrade::changeListPathFor(backup));
    };
    for (int number = 2; taken(candidate); ++number) {
        const std::string digits = std::to_string(number);
        candidate = folder / (stem + u"_" + std::u16string(digits.begin(), digits.end()) + u".rcp");
    }
    return candidate;
}

void FrmMainUpgrade::UpVersion_10(const std::u16string& DataFrom, const std::u16string& DataTo) {
    upgrade(upgrade::Layout::V10, DataFrom, DataTo);
}

void FrmMainUpgrade::UpVersion_11(const std::u16string& DataFrom, const std::u16string& DataTo) {
    upgrade(upgrade::Layout::V11, DataFrom, DataTo);
}

void FrmMainUpgrade::upgrade(upgrade::Layout layout, const std::u16string& DataFrom, const std::u16string& DataTo) {
    const char16_t* title = layout == upgrade::Layout::V10 ? u"Upgrade Version 1.0" : u"Upgrade Version 1.1";
    std::u16string failure;
    Outcome outcome;
    filledDatabase_.reset();
    changes_.clear();
    changeList_.clear();
    try {
        outcome = copyAndReplace(layout, DataFrom, DataTo);
    } catch (...) {
        failure = failureText(currentFailure());
        discardFilledDatabase(DataTo);
    }
    if (!failure.empty()) return view_.messageBox(failure, platform::MsgIcon::Critical, title);
    view_.messageBox(successMessage(DataFrom, outcome), platform::MsgIcon::Information, u"");
}

std::u16string FrmMainUpgrade::successMessage(const std::u16string& DataFrom, const Outcome& outcome) const {
    if (dryRun_) {
        const std::string count = std::to_string(changes_.size());
        return u"Dry run of the upgrade of \"" + DataFrom + u"\" complete: every row was copied into the new layout "
               u"and nothing was changed. " + std::u16string(count.begin(), count.end()) +
               u" values would be shortened or changed to fit the new layout.";
    }
    std::u16string message =
        u"Upgrade successful! A backup copy of the original cookbook has been saved as \"" + outcome.backup + u"\"";
    if (!changeList_.empty()) message += u"\n\n" + upgrade::changeListSentence(changes_.size(), changeList_);
    for (const auto& note : outcome.notes)
        if (!note.empty()) message += u"\n\n" + note;
    return message;
}

// A failed run leaves no new database behind (a full-size one on a full disk would keep the disk
// full): the one made for this run goes; once it is being filled, only that very file, never one
// that another program put at its path.
void FrmMainUpgrade::discardFilledDatabase(const std::u16string& DataTo) {
    const std::filesystem::path database(DataTo);
    const auto now = platform::fileState(database);
    if (now && (!filledDatabase_ || now->identity() == *filledDatabase_)) platform::discardFile(database);
}

FrmMainUpgrade::Outcome FrmMainUpgrade::copyAndReplace(upgrade::Layout layout, const std::u16string& DataFrom,
                                                       const std::u16string& DataTo) {
    const std::filesystem::path program = platform::programFolder();
    if (!dryRun_) upgrade::finishInterruptedRun(program);
    // A cookbook reached through a symbolic link: the file itself is backed up and replaced,
    // and the link goes on leading to the cookbook. The link is followed here, once.
    const std::filesystem::path cookbook = platform::followLink(std::filesystem::path(DataFrom));
    HeldCookbook held = holdCookbook(cookbook);
    if (!dryRun_) checkBeforeCopy(cookbook, freeBackupPath(program / "Backup", dbFunction::FileNameOf(DataFrom)));

    GetRecCount(DataFrom);
    view_.doEvents();
    auto& engine = dao::DBEngine::Instance();
    auto source = engine.OpenDatabase(std::filesystem::path(DataFrom));
    auto target = engine.OpenDatabase(std::filesystem::path(DataTo));
    const Identity filled = identityOf(std::filesystem::path(DataTo));
    filledDatabase_ = filled;
    requireVersionRow(*target);
    view_.doEvents();
    std::int32_t counter = 0;
    Outcome outcome;
    try {
        // Layout 1.0 shows a recipe's progress before saving it, layout 1.1 after.
        const std::uint64_t recipes =
            copyRows({u"Recipe", u"Recipe", u"Select * FROM Recipe ORDER BY rID", u"Select * FROM Recipe ORDER BY rID",
                      upgrade::recipeColumnMap(), layout == upgrade::Layout::V10},
                     layout, *source, *target, counter);
        view_.doEvents();
        if (recipes > 0) counter -= 1;  // the first ingredient repeats the last recipe's percentage
        const std::uint64_t ingredients =
            copyRows({u"Ingred", u"Ingredient", u"Select * FROM Ingred ORDER BY rID",
                      u"Select * FROM Ingredient ORDER BY rID",
                      upgrade::ingredientColumnMap(), false},
                     layout, *source, *target, counter);
        showCopyComplete();
        const auto stored = source->file().rowsOnOwnedPages();
        requireEveryRowCopied(*source, stored, u"Recipe", recipes);
        requireEveryRowCopied(*source, stored, u"Ingred", ingredients);
        outcome.notes.push_back(upgrade::notCarriedOverText(upgrade::tablesNotCarriedOver(*source)));
        changes_.setTablesLeft(outcome.notes.back());
    } catch (const Failure& f) {
        throw sourceDamaged(f, *source);
    }
    source->Close();
    target->Close();
    stampVersion(DataTo);
    requireSoundStructure(std::filesystem::path(DataTo));
    if (dryRun_) {
        platform::removeFile(std::filesystem::path(DataTo));
        view_.setStatusText(u"Done!");
        return outcome;
    }

    showStatus(u"Done copy data.", kStatusPause);
    showStatus(u"Creating backup copy...", kStatusPause);
    const Replaced replaced = replaceCookbook(DataFrom, cookbook, DataTo, filled, held);
    outcome.backup = replaced.backup.u16string();
    outcome.notes.insert(outcome.notes.begin(), accessNote(replaced.access));
    showStatus(u"Successful!", kStatusPause);
    view_.setStatusText(u"Done!");
    return outcome;
}

// The new database gets the version marker "1.3" while it still lies in the program's folder, so
// that the file at the cookbook's path is never written in place and the structural check sees
// the database exactly as it will lie there. The stamp's own procedures are silent; what the file now holds is read back, so that a new
// database whose stamp failed is never put in the cookbook's place with a success message.
void FrmMainUpgrade::stampVersion(const std::u16string& DataTo) {
    dbFunction::OpenCookbook(DataTo);
    dbFunction::StampCurrentVersion();
    dbFunction::CloseCookbook();
    auto database = dao::DBEngine::Instance().OpenDatabase(std::filesystem::path(DataTo));
    auto version = database->OpenRecordset(u"Version", dao::dbOpenSnapshot);
    const std::u16string marker = version->EOF_() ? u"" : version->Fields(u"Version").Value().toText();
    version->Close();
    database->Close();
    if (marker == kCurrentVersion) return;
    throw Failure(kNewDatabaseFailedCheck, "The new database " + std::filesystem::path(DataTo).string() +
                                               " could not be stamped with version 1.3 (it reads \"" +
                                               text::toUtf8(marker) + "\"). The cookbook was not changed.");
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
                                                         const std::u16string& DataTo, const Identity& filled,
                                                         HeldCookbook& held) {
    const std::filesystem::path program = platform::programFolder();
    const std::filesystem::path folder = program / "Backup";
    if (!platform::entryExists(folder)) {
        platform::createFolder(folder);
        platform::syncFolder(program);
    }
    const std::filesystem::path backup = freeBackupPath(folder, dbFunction::FileNameOf(DataFrom));
    const std::filesystem::path database(DataTo);
    const Identity original = held.state.identity();
    requireSameDatabase(database, filled);
    requireUnchanged(cookbook, held.state);
    upgrade::writeRunRecord(program, {cookbook, backup, original, held.state.size});
    try {
        makeBackup(cookbook, backup);
    } catch (...) {
        forgetRun(program);
        throw;
    }
    Replaced replaced{backup, {}};
    try {
        const platform::FileState backedUp = stateAfterBackup(cookbook, held.state);
        changeList_ = writeValueChanges(DataFrom, backup);
        replaced.access = platform::replaceFile(database, cookbook, platform::Source::Move, [&] {
            requireUnchanged(cookbook, backedUp);
            held.file.close();  // the lock goes with it: no handle of ours stands in the rename's way
        });
    } catch (...) {
        if (!changeList_.empty()) platform::discardFile(changeList_);
        changeList_.clear();
        try {
            undoReplace(cookbook, original, backup, currentFailure());
        } catch (...) {
            forgetRun(program);
            throw;
        }
    }
    forgetRun(program);
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

// Copies every row of one source query into the target query's table, in the source's order.
// Each row: yield, add, write the columns; then save and show progress, in the order given.
std::uint64_t FrmMainUpgrade::copyRows(const CopyPlan& plan, upgrade::Layout layout, dao::Database& source,
                                       dao::Database& target, std::int32_t& counter) {
    auto from = source.OpenRecordset(plan.from, dao::dbOpenDynaset);
    auto to = target.OpenRecordset(plan.to, dao::dbOpenDynaset);
    upgrade::ColumnWriter writer(plan.columns, layout, *from, *to, plan.targetTable, changes_);
    std::uint64_t copied = 0;
    while (!from->EOF_()) {
        view_.doEvents();
        to->AddNew();
        withRowNamed(plan.sourceTable, *from, [&] { writer.writeColumns(); });
        if (plan.progressBeforeSave) {
            view_.doEvents();
            progressStep(counter);
            withRowNamed(plan.sourceTable, *from, [&] { to->Update(dao::dbUpdateRegular, false); });
        } else {
            withRowNamed(plan.sourceTable, *from, [&] { to->Update(dao::dbUpdateRegular, false); });
            view_.doEvents();
            progressStep(counter);
        }
        from->MoveNext();
        ++copied;
    }
    to->Close();
    from->Close();
    return copied;
}

// Worked in 64 bits, so that no count of rows a cookbook can hold overflows it.
int progressPercent(std::int32_t counter, std::int32_t recipes, std::int32_t ingredients) {
    const std::int64_t total = static_cast<std::int64_t>(recipes) + ingredients;
    if (total == 0) throw Failure(kDivisionByZero, "Division by zero");
    const double x = static_cast<double>(static_cast<std::int64_t>(counter) * 100) / static_cast<double>(total);
    const double r = std::nearbyint(x);
    if (r < std::numeric_limits<std::int16_t>::min() || r > std::numeric_limits<std::int16_t>::max())
        throw Failure(kOverflow, "Overflow");
    return static_cast<int>(r);
}

void FrmMainUpgrade::progressStep(std::int32_t& counter) {
    // Counts that disagree with the rows copied (a count that failed) never show beyond the bar's ends.
    const int percent = std::clamp(progressPercent(counter, lRecipeCount, lIngredCount), 0, 100);
    if (percent != shownPercent_) {
        const std::string text = std::to_string(percent) + "%";
        percentCaption_.assign(text.begin(), text.end());
        shownPercent_ = percent;
    }
    view_.setPercentCaption(percentCaption_);
    view_.setProgressValue(percent);
    counter = checkedIncrement(counter);
}

// Every row is copied: the bar is at its end, whatever the last row's step showed.
void FrmMainUpgrade::showCopyComplete() {
    view_.setPercentCaption(u"100%");
    view_.setProgressValue(100);
}

void FrmMainUpgrade::showStatus(const char16_t* text, int pauseMilliseconds) {
    view_.setStatusText(text);
    view_.pause(pauseMilliseconds);
}

}  // namespace zestrel
