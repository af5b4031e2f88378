// The part of frmMain that upgrades a cookbook: UpVersion_10 and UpVersion_11.
//
// Both copy every recipe and ingredient row of the old cookbook (DataFrom)
// into the new, empty layout-1.3 database (DataTo) with the column maps of
// their layout, showing progress; stamp the new database "1.3"; keep the old
// cookbook in the Backup folder of the program's folder, put the new database
// in its place and report the outcome in a message box. They never pass a
// failure on; a value the new database refuses is reported with the source
// row's rID.
//
// At every moment, also when the process dies or the power fails, the
// cookbook's path leads to the original cookbook, byte for byte, or to the
// complete upgraded one: the backup is made while the original stays in place,
// and the new database replaces it in one atomic step. A failure at any step
// leaves the cookbook as it was and no backup of it behind (when even putting
// the original back fails, the message says where the original lies). Only
// the database filled by this run is ever moved into the cookbook's place.
// No backup is ever deleted or overwritten: a backup name already taken gets
// a number ("family_backup_2.rcp").
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/file.h"

#include "store/dao/database.h"
#include "store/frm_main_base.h"
#include "upgrade/column_map.h"
#include "upgrade/new_database_check.h"
#include "upgrade/rid_renames.h"
#include "upgrade/run_outcome.h"

namespace zestrel {

namespace upgrade {
struct HeldCookbook;
}  // namespace upgrade

class FrmMainUpgrade : public FrmMainBase {
public:
    using FrmMainBase::FrmMainBase;

    void UpVersion_10(const std::u16string& DataFrom, const std::u16string& DataTo);
    void UpVersion_11(const std::u16string& DataFrom, const std::u16string& DataTo);

    // A dry run copies every row into the new database and checks it as an upgrade does, then
    // removes the new database: no backup is made and the cookbook is not touched.
    void setDryRun(bool dryRun) { dryRun_ = dryRun; }
    // A preview is a dry run that shows no success box: its caller shows what it found.
    void setPreview(bool preview) {
        dryRun_ = preview;
        preview_ = preview;
    }
    // The values the last run stored other than as the old cookbook held them.
    const upgrade::ValueChanges& valueChanges() const { return changes_; }
    // What the last run came to.
    const upgrade::RunOutcome& outcome() const { return outcome_; }

protected:
    upgrade::RunOutcome outcome_;
    // Set when the owner asks to stop the run: the copy stops at its next yield with failure 18
    // and is undone as any failure is, without a box of its own.
    bool stopRequested_ = false;

private:
    struct Replaced {
        std::filesystem::path backup;
        std::filesystem::path changeList;  // empty when nothing changed
        platform::AccessCarried access;
    };

    void upgrade(upgrade::Layout layout, const std::u16string& DataFrom, const std::u16string& DataTo);
    void copyAndReplace(upgrade::Layout layout, const std::u16string& DataFrom, const std::u16string& DataTo);
    void discardFilledDatabase(const std::u16string& DataTo);
    struct CopyPlan {
        const char16_t* sourceTable;  // named in the failure of a row
        const char16_t* targetTable;  // named in the list of changed values
        const char16_t* from;
        const char16_t* to;
        const upgrade::ColumnMap& columns;
        bool progressBeforeSave;
    };
    // Returns the number of rows copied.
    std::uint64_t copyRows(const CopyPlan& plan, upgrade::Layout layout, dao::Database& source,
                           dao::Database& target, std::int32_t& counter, const upgrade::RidRenames& renames);
    Replaced replaceCookbook(const std::u16string& DataFrom, const std::filesystem::path& cookbook,
                             const std::u16string& DataTo, const upgrade::FileIdentity& filled,
                             upgrade::HeldCookbook& held);
    // Writes the list of changed values beside the backup, when there is one; returns its path.
    std::filesystem::path writeValueChanges(const std::u16string& DataFrom, const std::filesystem::path& backup);
    // Lets the window handle its pending events between steps of the copy; stops the run here
    // when the owner has asked for that meanwhile.
    void yieldToWindow();
    void reportOutcome(const char16_t* failureTitle, const std::u16string& DataFrom);
    void progressStep(std::int32_t& counter);
    void showCopyComplete();
    std::uint64_t countedRows() const;
    void showStatus(const char16_t* text, int pauseMilliseconds);

    std::optional<upgrade::FileIdentity> filledDatabase_;  // the new database this run filled, once known

    // The percentage last shown and its caption ("42%"): rows by the hundred share one.
    int shownPercent_ = -1;
    std::u16string percentCaption_;
    std::uint64_t rowsStepped_ = 0;  // the progress steps of this run's copy: the rows it reached
    bool dryRun_ = false;
    bool preview_ = false;
    upgrade::ValueChanges changes_;
};

// The percentage shown for a row counter: 100 * counter / (recipes + ingredients), rounded half
// to even. A zero total is a division by zero (11), a result beyond 16 bits an overflow (6).
int progressPercent(std::int32_t counter, std::int32_t recipes, std::int32_t ingredients);

}  // namespace zestrel
