// What of a file's access its mode bits do not say: a POSIX access list (ACL) naming other users
// and groups, and the file's other extended attributes; on Windows, the file's access list (DACL,
// access_list_win32.h). A file that takes a cookbook's place takes these over too; where the file
// system cannot keep them, the access is narrowed, never widened, and what was not kept is named.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace zestrel::platform {

struct ExtendedAccess {
    std::string acl;  // the access ACL as the system stores it; empty when the mode says everything
                      // (Windows: the DACL in a self-relative security descriptor; empty for none)
    std::vector<std::pair<std::string, std::string>> attributes;  // other extended attributes, by name

    bool empty() const { return acl.empty() && attributes.empty(); }
    bool operator==(const ExtendedAccess&) const = default;
};

// Read from an open file (nothing where the system has no such things).
ExtendedAccess readExtendedAccess(int fd);

// The permission bits to give a new file before `access` is applied: the mode itself, or, with an
// ACL, the mode narrowed to what the list gives the owning group and others (never its mask), so
// that a list the file system refuses leaves the file narrower, never wider.
std::uint32_t modeBefore(std::uint32_t mode, const ExtendedAccess& access);

// Gives the open file the ACL and attributes; returns what could not be kept, in words (empty
// when all was kept).
std::vector<std::string> applyExtendedAccess(int fd, const ExtendedAccess& access);

// The permission bits a stored ACL gives the owning group and others, within `mode`'s owner bits:
// what the mode alone may grant when the list itself cannot be kept.
std::uint32_t narrowedMode(std::uint32_t mode, const std::string& acl);

}  // namespace zestrel::platform
