#include "platform/extended_access.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <cerrno>
#include <cstring>

namespace zestrel::platform {

namespace {

constexpr const char* kAclName = "system.posix_acl_access";
constexpr const char* kDefaultAclName = "system.posix_acl_default";  // folders only

// The stored list: a 4-byte version, then 8-byte entries of tag, permissions and id.
constexpr std::size_t kAclHeader = 4;
constexpr std::size_t kAclEntry = 8;
constexpr std::uint16_t kTagGroupObject = 0x04;
constexpr std::uint16_t kTagMask = 0x10;
constexpr std::uint16_t kTagOther = 0x20;

std::uint16_t u16At(const std::string& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      (static_cast<unsigned char>(bytes[at + 1]) << 8));
}

std::string attribute(int fd, const char* name) {
    for (;;) {
        const ssize_t size = ::fgetxattr(fd, name, nullptr, 0);
        if (size < 0) return {};
        std::string value(static_cast<std::size_t>(size), '\0');
        const ssize_t got = ::fgetxattr(fd, name, value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return value;
        }
        if (errno != ERANGE) return {};  // it grew in between: read again
    }
}

std::vector<std::string> attributeNames(int fd) {
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    if (size <= 0) return {};
    std::string list(static_cast<std::size_t>(size), '\0');
    const ssize_t got = ::flistxattr(fd, list.data(), list.size());
    if (got <= 0) return {};
    std::vector<std::string> names;
    for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
        const std::size_t end = list.find('\0', at);
        names.push_back(list.substr(at, end - at));
        at = end == std::string::npos ? list.size() : end + 1;
    }
    return names;
}

}  // namespace

ExtendedAccess readExtendedAccess(int fd) {
    ExtendedAccess access;
    for (const auto& name : attributeNames(fd)) {
        if (name == kAclName) access.acl = attribute(fd, kAclName);
        else if (name != kDefaultAclName) access.attributes.emplace_back(name, attribute(fd, name.c_str()));
    }
    return access;
}

std::uint32_t narrowedMode(std::uint32_t mode, const std::string& acl) {
    std::uint32_t group = 0;
    std::uint32_t mask = 07;
    std::uint32_t other = 0;
    for (std::size_t at = kAclHeader; at + kAclEntry <= acl.size(); at += kAclEntry) {
        const std::uint16_t tag = u16At(acl, at);
        const std::uint32_t permissions = u16At(acl, at + 2) & 07u;
        if (tag == kTagGroupObject) group = permissions;
        if (tag == kTagMask) mask = permissions;
        if (tag == kTagOther) other = permissions;
    }
    return (mode & ~std::uint32_t{077}) | ((group & mask & (mode >> 3)) << 3) | (other & mode & 07u);
}

std::uint32_t modeBefore(std::uint32_t mode, const ExtendedAccess& access) {
    return access.acl.empty() ? mode & 07777 : narrowedMode(mode & 07777, access.acl);
}

std::vector<std::string> applyExtendedAccess(int fd, const ExtendedAccess& access) {
    std::vector<std::string> notKept;
    if (!access.acl.empty() && ::fsetxattr(fd, kAclName, access.acl.data(), access.acl.size(), 0) != 0)
        notKept.push_back("the access list (ACL) that names other users or groups: " + std::string(std::strerror(errno)));
    for (const auto& [name, value] : access.attributes)
        if (::fsetxattr(fd, name.c_str(), value.data(), value.size(), 0) != 0)
            notKept.push_back("the extended attribute " + name + ": " + std::strerror(errno));
    return notKept;
}

}  // namespace zestrel::platform
