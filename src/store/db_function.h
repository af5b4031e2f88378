// The cookbook handle of the dbFunction module: at most one cookbook open at a
// time in the module-wide handle dbCookbook, and the four procedures that work
// on it. None of them shows a message or passes a failure on: OpenCookbook
// leaves the handle as it was when the open fails, ReadCookbookVersion gives
// an empty text whenever it cannot read the marker, StampCurrentVersion ends
// silently, CloseCookbook always leaves the handle empty.
#pragma once

#include <memory>
#include <string>

#include "store/dao/database.h"
#include "store/dao/recordset.h"

namespace zestrel::dbFunction {

// The module state: the open cookbook, and the recordset CreateVersionTable writes through.
extern std::shared_ptr<dao::Database> dbCookbook;
extern std::unique_ptr<dao::Recordset> rsCookbook;

// The current layout's version marker.
inline constexpr const char16_t* kCurrentVersion = u"1.3";

void OpenCookbook(const std::u16string& path);
void CloseCookbook();
std::u16string ReadCookbookVersion();
void StampCurrentVersion();

// The open cookbook, or failure 91 when the handle is empty.
dao::Database& cookbook();

}  // namespace zestrel::dbFunction
