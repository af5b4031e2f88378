#include "upgrade/row_copy.h"

#include "store/dao/recordset.h"
#include "platform/path_text.h"
#include "text/utf8.h"
#include "upgrade/frm_main_upgrade.h"

namespace zestrel {

namespace upgrade {

// Every row the source's pages hold has been copied: a table whose usage map misses pages that
// hold its rows would otherwise lose those rows without a word.
void requireEveryRowCopied(dao::Database& source, const std::map<std::uint32_t, std::uint64_t>& stored,
                           const char16_t* table, std::uint64_t copied) {
    const auto definition = source.file().tableDefinition(table);
    const auto found = stored.find(definition.page);
    const std::uint64_t held = found == stored.end() ? 0 : found->second;
    if (held == copied) return;
    throw Failure(failure::kCannotOpenDatabase,
                  "The cookbook " + platform::shownPath(source.Name()) + " is damaged: its table " +
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

}  // namespace upgrade

namespace {

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

// Copies every row of one source query into the target query's table, in the source's order.
// Each row: yield, add, write the columns; then save and show progress, in the order given.
std::uint64_t FrmMainUpgrade::copyRows(const CopyPlan& plan, upgrade::Layout layout, dao::Database& source,
                                       dao::Database& target, std::int32_t& counter,
                                       const upgrade::RidRenames& renames) {
    auto from = source.OpenRecordset(plan.from, dao::dbOpenDynaset);
    auto to = target.OpenRecordset(plan.to, dao::dbOpenDynaset);
    upgrade::ColumnWriter writer(plan.columns, layout, *from, *to, plan.targetTable, changes_, &renames);
    std::uint64_t copied = 0;
    while (!from->EOF_()) {
        yieldToWindow();
        to->AddNew();
        withRowNamed(plan.sourceTable, *from, [&] { writer.writeColumns(); });
        if (plan.progressBeforeSave) {
            yieldToWindow();
            progressStep(counter);
            withRowNamed(plan.sourceTable, *from, [&] { to->Update(dao::dbUpdateRegular, false); });
        } else {
            withRowNamed(plan.sourceTable, *from, [&] { to->Update(dao::dbUpdateRegular, false); });
            yieldToWindow();
            progressStep(counter);
        }
        from->MoveNext();
        ++copied;
    }
    to->Close();
    from->Close();
    return copied;
}

}  // namespace zestrel
