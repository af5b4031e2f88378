// Windows system errors as the errno values FileError carries (Windows side only).
#pragma once

namespace zestrel::platform {

// The errno value for a Windows error code (GetLastError); EIO for any other.
int errnoFromWindowsError(unsigned long error);

}  // namespace zestrel::platform
