// Folding case for matching texts without regard to it, as the Jet engine matches names and keys:
// the upper-case letters of Latin (ASCII, Latin-1, Latin Extended-A), Greek and Cyrillic become
// their lower-case letters; every other code unit stays as it is.
#pragma once

#include <string>

namespace zestrel::text {

char16_t foldCase(char16_t unit);
std::u16string foldCase(std::u16string text);

}  // namespace zestrel::text
