#include "upgrade/upgrade_messages.h"

#include <string>

#include "platform/path_text.h"
#include "text/utf8.h"

namespace zestrel::upgrade {

namespace {

// `text` after `prefix`; nothing when the text is empty.
std::u16string prefixed(const char16_t* prefix, const std::u16string& text) {
    return text.empty() ? text : prefix + text;
}

std::u16string digits(std::size_t number) {
    const std::string text = std::to_string(number);
    return std::u16string(text.begin(), text.end());
}

// What of the original's owner and group the upgraded cookbook could not keep.
std::u16string ownerNote(const platform::AccessCarried& carried) {
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

}  // namespace

// What the owner should know beside a success: what of the original's owner, group, access list
// and attributes the upgraded cookbook could not keep.
std::u16string accessNote(const platform::AccessCarried& carried) {
    std::u16string kept = ownerNote(carried);
    for (const auto& what : carried.notKept)
        kept += (kept.empty() ? u"" : u" ") + (u"The upgraded cookbook could not keep " + text::fromUtf8(what) +
                                              u"; it is readable and writable by fewer users than the original.");
    return kept;
}

std::u16string successMessage(const std::u16string& DataFrom, const RunOutcome& outcome) {
    if (outcome.dryRun)
        return u"Dry run of the upgrade of \"" + DataFrom + u"\" complete: every row was copied into the new layout "
               u"and nothing was changed. " + digits(outcome.changes) +
               u" values would be shortened or changed to fit the new layout." +
               prefixed(u" ", renamedRidsSentence(outcome.renamedRecipes, true));
    std::u16string message = u"Upgrade successful! A backup copy of the original cookbook has been saved as \"" +
                             platform::textOfPath(outcome.backup) + u"\"";
    if (!outcome.changeList.empty()) message += u"\n\n" + changeListSentence(outcome.changes, outcome.changeList);
    message += prefixed(u"\n\n", renamedRidsSentence(outcome.renamedRecipes, false));
    for (const auto& note : outcome.notes)
        if (!note.empty()) message += u"\n\n" + note;
    return message;
}

// A list with no changed value holds only the recipes that already shared an rID.
std::u16string changeListSentence(std::size_t count, const std::filesystem::path& list) {
    if (count == 0)
        return u"No value had to change, but some recipes already share an rID in the original cookbook; they are "
               u"named in \"" + platform::textOfPath(list) + u"\".";
    return digits(count) + u" values were shortened or changed to fit the new layout; they are listed in \"" +
           platform::textOfPath(list) + u"\".";
}

std::u16string renamedRidsSentence(std::size_t recipes, bool would) {
    if (recipes == 0) return u"";
    const std::string digits = std::to_string(recipes);
    return std::u16string(digits.begin(), digits.end()) + (recipes == 1 ? u" recipe" : u" recipes") +
           (would ? u" would get" : u" got") +
           u" a new rID, because the new layout would otherwise have given it the rID of another recipe; the list "
           u"of changes names each, and its ingredients go with it.";
}

}  // namespace zestrel::upgrade
