// A file's access list (DACL) on Windows, read and set through an open handle, never through a
// path. It is carried as a self-relative security descriptor that holds the DACL and its control
// flags (whether it is protected from what the folder passes on), so that a new file can take
// exactly the list of the file it replaces (ExtendedAccess::acl). Windows side only.
#pragma once

#include <string>

namespace zestrel::platform {

// The DACL of the open file (a handle with READ_CONTROL) as a self-relative security descriptor;
// empty when the file has none (everyone may use it) or its file system keeps no access lists.
std::string readAccessList(void* handle);

// Gives the open file the DACL of `descriptor` (as readAccessList gives it), protected from its
// folder's inheritable entries exactly when the descriptor's was. A handle without WRITE_DAC is
// opened once more, without data access, for the change. Returns 0, or the Windows error.
unsigned long applyAccessList(void* handle, const std::string& descriptor);

// A self-relative security descriptor whose protected DACL lets only the current user use the
// file; empty when the user cannot be told (then nothing should be created with it).
std::string ownerOnlyDescriptor();

// Narrows the open file to its current user alone (ownerOnlyDescriptor). Returns 0, or the
// Windows error.
unsigned long makeOwnerOnly(void* handle);

// What the Windows error means for an access list that could not be set, in words.
std::string accessListErrorText(unsigned long error);

}  // namespace zestrel::platform
