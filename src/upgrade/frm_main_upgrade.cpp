#include "upgrade/frm_main_upgrade.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/file_replace.h"
#include "platform/path_text.h"
#include "platform/file_system.h"
#include "store/dao/db_engine.h"
#include "store/dao/sort_order.h"
#include "store/db_function.h"
#include "store/failure_text.h"
#include "store/jet/failure.h"
#include "upgrade/cookbook_replace.h"
#include "upgrade/extra_tables.h"
#include "upgrade/file_name_of.h"
#include "upgrade/ingredient_columns.h"
#include "upgrade/new_database_check.h"
#include "upgrade/program_folder_room.h"
#include "upgrade/recipe_columns.h"
#include "upgrade/row_copy.h"
#include "upgrade/upgrade_messages.h"

namespace zestrel {

namespace {

constexpr int kStatusPause = 500;

std::int32_t checkedIncrement(std::int32_t value) {
    if (value == std::numeric_limits<std::int32_t>::max()) throw Failure(failure::runtime::kOverflow, "Overflow");
    return value + 1;
}


}  // namespace

void FrmMainUpgrade::UpVersion_10(const std::u16string& DataFrom, const std::u16string& DataTo) {
    upgrade(upgrade::Layout::V10, DataFrom, DataTo);
}

void FrmMainUpgrade::UpVersion_11(const std::u16string& DataFrom, const std::u16string& DataTo) {
    upgrade(upgrade::Layout::V11, DataFrom, DataTo);
}

void FrmMainUpgrade::upgrade(upgrade::Layout layout, const std::u16string& DataFrom, const std::u16string& DataTo) {
    const char16_t* title = layout == upgrade::Layout::V10 ? u"Upgrade Version 1.0" : u"Upgrade Version 1.1";
    filledDatabase_.reset();
    changes_.clear();
    changes_.setWould(dryRun_);
    outcome_ = upgrade::RunOutcome{};
    outcome_.dryRun = dryRun_;
    try {
        copyAndReplace(layout, DataFrom, DataTo);
        outcome_.result = upgrade::RunOutcome::Result::Upgraded;
        outcome_.changes = changes_.size();
        outcome_.renamedRecipes = changes_.renamedRecipes();
    } catch (...) {
        outcome_.result = upgrade::RunOutcome::Result::Failed;
        outcome_.failure = currentFailure();
        discardFilledDatabase(DataTo);
    }
    // Written beside the backup, or not needed after a failure: only a dry run's list is read later,
    // and only when the dry run went through. Its file is closed and removed here, not with the
    // window: an open file could not leave the program folder on Windows.
    if (!dryRun_ || outcome_.failure) changes_.keepCountsOnly();
    reportOutcome(title, DataFrom);
}

// A failure in its box, titled by the method; a success in a box that offers to show the backup
// where the view can ask. A stop the owner asked for and a preview's success show nothing.
void FrmMainUpgrade::reportOutcome(const char16_t* failureTitle, const std::u16string& DataFrom) {
    if (outcome_.failure) {
        if (outcome_.failure->number() == failure::runtime::kUserInterrupt && stopRequested_) return;
        return view_.messageBox(failureText(*outcome_.failure), platform::MsgIcon::Critical, failureTitle);
    }
    if (preview_) return;
    const std::u16string text = upgrade::successMessage(DataFrom, outcome_);
    if (outcome_.backup.empty() || !view_.asksQuestions())
        return view_.messageBox(text, platform::MsgIcon::Information, u"");
    constexpr std::size_t kShowBackup = 1;
    const platform::Question success{text, platform::MsgIcon::Information, {u"OK", u"Show the backup"}, 0, 0};
    if (view_.questionBox(success) == kShowBackup) view_.showInFolder(outcome_.backup);
}

void FrmMainUpgrade::yieldToWindow() {
    view_.doEvents();
    if (stopRequested_) throw Failure(failure::runtime::kUserInterrupt, "User interrupt occurred");
}


void FrmMainUpgrade::copyAndReplace(upgrade::Layout layout, const std::u16string& DataFrom, const std::u16string& DataTo) {
    const auto room = upgrade::ProgramFolderRoom::current();
    // A cookbook reached through a symbolic link: the file itself is backed up and replaced,
    // and the link goes on leading to the cookbook. The link is followed here, once.
    const std::filesystem::path cookbook = upgrade::cookbookBehind(platform::pathOfText(DataFrom));
    upgrade::HeldCookbook held = upgrade::holdCookbook(cookbook);
    if (!dryRun_) upgrade::checkBeforeCopy(cookbook, room.freeBackupPath(dbFunction::FileNameOf(DataFrom)));
    // The list of changes goes to a file in the program's folder as the copy makes it: one change
    // a row would otherwise hold memory in proportion to the cookbook. Its temporary name is one
    // the next run removes, should this one die.
    changes_.spillTo(platform::temporaryPathFor(room.folder() / u"tempdb_changes.txt"));

    GetRecCount(DataFrom);
    rowsStepped_ = 0;
    yieldToWindow();
    auto& engine = dao::DBEngine::Instance();
    auto source = engine.OpenDatabase(platform::pathOfText(DataFrom));
    // So do the parts of a large sort of the source by rID.
    source->spillSortsTo({room.folder()});
    auto target = engine.OpenDatabase(platform::pathOfText(DataTo));
    const upgrade::FileIdentity filled = upgrade::identityOf(platform::pathOfText(DataTo));
    filledDatabase_ = filled;
    upgrade::requireVersionRow(*target);
    yieldToWindow();
    std::int32_t counter = 0;
    try {
        const upgrade::RidRenames renames = upgrade::RidRenames::plan(*source, layout);
        changes_.setSharedRids(upgrade::sharedRidLines(renames));
        yieldToWindow();
        // Layout 1.0 shows a recipe's progress before saving it, layout 1.1 after.
        const std::uint64_t recipes =
            copyRows({u"Recipe", u"Recipe", u"Select * FROM Recipe ORDER BY rID", u"Select * FROM Recipe ORDER BY rID",
                      upgrade::recipeColumnMap(), layout == upgrade::Layout::V10},
                     layout, *source, *target, counter, renames);
        yieldToWindow();
        if (recipes > 0) counter -= 1;  // the first ingredient repeats the last recipe's percentage
        const std::uint64_t ingredients =
            copyRows({u"Ingred", u"Ingredient", u"Select * FROM Ingred ORDER BY rID",
                      u"Select * FROM Ingredient ORDER BY rID",
                      upgrade::ingredientColumnMap(), false},
                     layout, *source, *target, counter, renames);
        changes_.settle();
        showCopyComplete();
        const auto stored = source->file().rowsOnOwnedPages();
        upgrade::requireEveryRowCopied(*source, stored, u"Recipe", recipes);
        upgrade::requireEveryRowCopied(*source, stored, u"Ingred", ingredients);
        outcome_.notes.push_back(upgrade::notCarriedOverText(upgrade::tablesNotCarriedOver(*source)));
        changes_.setTablesLeft(outcome_.notes.back());
    } catch (const Failure& f) {
        throw upgrade::sourceDamaged(f, *source);
    }
    source->Close();
    target->Close();
    upgrade::stampVersion(DataTo);
    upgrade::requireSoundStructure(platform::pathOfText(DataTo));
    if (dryRun_) {
        platform::removeFile(platform::pathOfText(DataTo));
        if (!preview_) view_.setStatusText(u"Done!");
        return;
    }

    showStatus(u"Done copy data.", kStatusPause);
    showStatus(u"Creating backup copy...", kStatusPause);
    const Replaced replaced = replaceCookbook(DataFrom, cookbook, DataTo, filled, held);
    outcome_.backup = replaced.backup;
    outcome_.changeList = replaced.changeList;
    outcome_.notes.insert(outcome_.notes.begin(), upgrade::accessNote(replaced.access));
    showStatus(u"Successful!", kStatusPause);
    view_.setStatusText(u"Done!");
}


// Worked in 64 bits, so that no count of rows a cookbook can hold overflows it.
int progressPercent(std::int32_t counter, std::int32_t recipes, std::int32_t ingredients) {
    const std::int64_t total = static_cast<std::int64_t>(recipes) + ingredients;
    if (total == 0) throw Failure(failure::runtime::kDivisionByZero, "Division by zero");
    const double x = static_cast<double>(static_cast<std::int64_t>(counter) * 100) / static_cast<double>(total);
    const double r = std::nearbyint(x);
    if (r < std::numeric_limits<std::int16_t>::min() || r > std::numeric_limits<std::int16_t>::max())
        throw Failure(failure::runtime::kOverflow, "Overflow");
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
    view_.setRowsCopied(++rowsStepped_, countedRows());
    counter = checkedIncrement(counter);
}

// Every row is copied: the bar is at its end, whatever the last row's step showed.
void FrmMainUpgrade::showCopyComplete() {
    view_.setPercentCaption(u"100%");
    view_.setProgressValue(100);
    view_.setRowsCopied(rowsStepped_, countedRows());
}

// The rows the count found in both tables; a count that failed counts none.
std::uint64_t FrmMainUpgrade::countedRows() const {
    return static_cast<std::uint64_t>(std::max<std::int32_t>(lRecipeCount, 0)) +
           static_cast<std::uint64_t>(std::max<std::int32_t>(lIngredCount, 0));
}

void FrmMainUpgrade::showStatus(const char16_t* text, int pauseMilliseconds) {
    view_.setStatusText(text);
    view_.pause(pauseMilliseconds);
}

}  // namespace zestrel
