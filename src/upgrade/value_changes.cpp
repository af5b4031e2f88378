#include "upgrade/value_changes.h"

#include <algorithm>

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

void ValueChanges::add(const ValueChange& change) {
    ++size_;
    cut_ += change.cut ? 1 : 0;
    replaced_ += change.replaced.empty() ? 0 : 1;
    emptied_ += change.amountEmptied ? 1 : 0;
    const std::string line = text::toUtf8(change.table) + "." + text::toUtf8(change.column) + " (rID " +
                             text::toUtf8(change.rid) + "): " + describe(change) + "\n";
    constexpr std::size_t kBlockBytes = 1 << 20;
    if (lines_.empty() || lines_.back().size() + line.size() > lines_.back().capacity()) {
        lines_.emplace_back();
        lines_.back().reserve(std::max(kBlockBytes, line.size()));
    }
    lines_.back() += line;
}

std::string ValueChanges::render(const std::filesystem::path& cookbook, const std::filesystem::path& backup) const {
    std::string out = backup.empty() ? "Values an upgrade to layout 1.3 would change\n"
                                     : "Values the upgrade to layout 1.3 changed\n";
    out += "Cookbook: " + text::toUtf8(cookbook.u16string()) + "\n";
    if (!backup.empty()) out += "The original cookbook, with every value as it was: " + text::toUtf8(backup.u16string()) + "\n";
    out += "\n" + std::to_string(size_) + " values changed: " + std::to_string(cut_) + " cut to fit their column, " +
           std::to_string(replaced_) + " with characters code page 1252 lacks replaced, " + std::to_string(emptied_) +
           " amounts emptied.\n";
    if (!tablesLeft_.empty()) out += text::toUtf8(tablesLeft_) + "\n";
    out += "\n";
    std::size_t length = out.size();
    for (const auto& block : lines_) length += block.size();
    out.reserve(length);
    for (const auto& block : lines_) out += block;
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
