// Copying the rows of one old table into its new table, and what a finished copy must show:
// every row the source's pages hold was read. FrmMainUpgrade::copyRows, the copy itself, is
// defined beside these.
#pragma once

#include <cstdint>
#include <map>

#include "store/dao/database.h"
#include "store/jet/failure.h"

namespace zestrel::upgrade {

// Failure 3049 when fewer rows of `table` were copied than its owned pages hold.
void requireEveryRowCopied(dao::Database& source, const std::map<std::uint32_t, std::uint64_t>& stored,
                           const char16_t* table, std::uint64_t copied);
// A failure of the copy as the owner reads it: a damaged source's failure also says that nothing
// was changed.
Failure sourceDamaged(const Failure& f, const dao::Database& source);

}  // namespace zestrel::upgrade
