// The part of the main window frmMain that lives with the cookbook store: the
// state the window shares with the upgrade (the chosen cookbook, its version,
// the two row counts) and the record count GetRecCount. frmMain is one class;
// each subsystem adds its methods in a layer of it (see upgrade/ and window/).
#pragma once

#include <cstdint>
#include <string>

#include "platform/form_view.h"

namespace zestrel {

class FrmMainBase {
public:
    explicit FrmMainBase(platform::FormView& view) : view_(view) {}
    virtual ~FrmMainBase() = default;

    std::u16string sCookbookPath;
    std::u16string sCookbookVersion;
    std::int32_t lRecipeCount = 0;
    std::int32_t lIngredCount = 0;

    // Counts the rows of the source's tables "Recipe" and "Ingred" into lRecipeCount and
    // lIngredCount. A failure shows one warning box titled "Get Record Count" and the
    // counts stored before it stay; it never passes a failure on.
    void GetRecCount(const std::u16string& sdbf);

    platform::FormView& view() { return view_; }

protected:
    platform::FormView& view_;

private:
    std::int32_t countRows(const std::u16string& sdbf, const char16_t* table);
};

}  // namespace zestrel
