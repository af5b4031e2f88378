// The sentences an upgrade shows its owner: the success message with what the upgrade changed,
// and the notes a success carries.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "platform/file_replace.h"
#include "upgrade/run_outcome.h"

namespace zestrel::upgrade {

// The success message of a run (or of a dry run) on the cookbook `DataFrom`.
std::u16string successMessage(const std::u16string& DataFrom, const RunOutcome& outcome);

// What of the original's owner and group the upgraded cookbook could not keep; empty when both.
std::u16string accessNote(const platform::AccessCarried& carried);

// The sentence the success message adds when the list exists.
std::u16string changeListSentence(std::size_t count, const std::filesystem::path& list);
// The sentence a message adds when recipes got a new rID (`would` for a dry run); empty when none did.
std::u16string renamedRidsSentence(std::size_t recipes, bool would);

}  // namespace zestrel::upgrade
