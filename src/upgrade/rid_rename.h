// What a recipe's new rID is, and why it needed one (see RidRenames).
#pragma once

#include <string>

namespace zestrel::upgrade {

// One recipe's new rID and why it needed one.
struct RidRename {
    std::u16string from;         // the rID as the old cookbook holds it
    std::u16string recipe;       // that recipe's name
    std::u16string to;           // its new rID
    std::u16string other;        // the rID of the recipe that keeps the converted text
    std::u16string otherRecipe;  // that recipe's name
    std::u16string convertedTo;  // what both rIDs become in the new cookbook
};

}  // namespace zestrel::upgrade
