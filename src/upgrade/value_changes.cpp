#include "upgrade/value_changes.h"

#include "text/utf8.h"

namespace zestrel::upgrade {

namespace {

std::string quoted(const std::u16string& text) { return "\"" + text::toUtf8(text) + "\""; }

std::string replacements(const std::vector<ValueChange::Replacement>& replaced) {
    std::string out = "characters replaced: ";
    for (std::size_t i = 0; i < replaced.size(); ++i) {
        const auto& r = replaced[i];
        if (i > 0) out += ", ";
        out += quoted(r.character) + " by " + quoted(std::u16string(1, r.storedAs));
        if (r.times > 1) out += " (" + std::to_string(r.times) + " times)";
    }
    return out;
}

struct Counts {
    std::size_t cut = 0;
    std::size_t replaced = 0;
    std::size_t emptied = 0;
};

Counts countsOf(const std::vector<ValueChange>& changes) {
    Counts counts;
    for (const auto& change : changes) {
        counts.cut += change.cut ? 1 : 0;
        counts.replaced += change.replaced.empty() ? 0 : 1;
        counts.emptied += change.amountEmptied ? 1 : 0;
    }
    return counts;
}

}  // namespace

std::string describe(const ValueChange& change) {
    if (change.amountEmptied)
        return "amount " + quoted(change.amount) + " emptied (an amount marked with \"*\" is left empty)";
    std::string out;
    if (!change.replaced.empty()) out = replacements(change.replaced);
    if (change.cut) {
        if (!out.empty()) out += "; ";
        out += "cut to " + std::to_string(change.kept) + " of " + std::to_string(change.length) +
               " characters, cut off: " + quoted(change.cutOff);
    }
    return out;
}

std::string ValueChanges::render(const std::filesystem::path& cookbook, const std::filesystem::path& backup) const {
    const Counts counts = countsOf(changes_);
    std::string out = backup.empty() ? "Values an upgrade to layout 1.3 would change\n"
                                     : "Values the upgrade to layout 1.3 changed\n";
    out += "Cookbook: " + text::toUtf8(cookbook.u16string()) + "\n";
    if (!backup.empty()) out += "The original cookbook, with every value as it was: " + text::toUtf8(backup.u16string()) + "\n";
    out += "\n" + std::to_string(changes_.size()) + " values changed: " + std::to_string(counts.cut) +
           " cut to fit their column, " + std::to_string(counts.replaced) +
           " with characters code page 1252 lacks replaced, " + std::to_string(counts.emptied) + " amounts emptied.\n";
    if (!tablesLeft_.empty()) out += text::toUtf8(tablesLeft_) + "\n";
    out += "\n";
    for (const auto& change : changes_)
        out += text::toUtf8(change.table) + "." + text::toUtf8(change.column) + " (rID " + text::toUtf8(change.rid) +
               "): " + describe(change) + "\n";
    return out;
}

std::filesystem::path changeListPathFor(const std::filesystem::path& backup) {
    std::u16string name = backup.filename().u16string();
    if (name.size() >= 4) name.resize(name.size() - 4);
    return backup.parent_path() / (name + u"_changes.txt");
}

std::u16string changeListSentence(std::size_t count, const std::filesystem::path& list) {
    const std::string digits = std::to_string(count);
    return std::u16string(digits.begin(), digits.end()) +
           u" values were shortened or changed to fit the new layout; they are listed in \"" + list.u16string() + u"\".";
}

}  // namespace zestrel::upgrade
