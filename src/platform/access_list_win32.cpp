#include "platform/access_list_win32.h"

#include <cstdint>
#include <cstring>
#include <vector>
#include <windows.h>
#include <aclapi.h>

#include "platform/win32_error.h"

namespace zestrel::platform {

namespace {

HANDLE handleOf(void* handle) { return static_cast<HANDLE>(handle); }

// Bytes kept aligned for the structures Windows reads from them.
using Aligned = std::vector<std::uint64_t>;

// A descriptor holds its owner, group and two lists of at most 64 KiB each: anything longer is none.
constexpr std::size_t kLongestDescriptor = std::size_t{1} << 20;

// An aligned copy of a descriptor's bytes; empty when they are too many to be one.
Aligned alignedCopy(const std::string& bytes) {
    const std::size_t size = bytes.size();
    if (size == 0 || size > kLongestDescriptor) return {};
    Aligned copy((size + 7) / 8);
    std::memcpy(copy.data(), bytes.data(), size);
    return copy;
}

// A self-relative descriptor whose DACL lies wholly inside its `size` bytes.
bool wholeDescriptor(const Aligned& copy, std::size_t size) {
    if (copy.empty() || size < sizeof(SECURITY_DESCRIPTOR_RELATIVE)) return false;
    const auto* header = static_cast<const SECURITY_DESCRIPTOR_RELATIVE*>(static_cast<const void*>(copy.data()));
    if (!(header->Control & SE_SELF_RELATIVE) || !(header->Control & SE_DACL_PRESENT) || header->Dacl == 0) return false;
    if (header->Dacl > size || size - header->Dacl < sizeof(ACL)) return false;
    const auto* list = static_cast<const ACL*>(static_cast<const void*>(reinterpret_cast<const char*>(copy.data()) + header->Dacl));
    return list->AclSize <= size - header->Dacl && ::IsValidAcl(const_cast<ACL*>(list)) &&
           ::IsValidSecurityDescriptor(const_cast<std::uint64_t*>(copy.data()));
}

bool setOn(HANDLE handle, SECURITY_INFORMATION what, Aligned& descriptor) {
    return ::SetKernelObjectSecurity(handle, what, descriptor.data()) != 0;
}

// The SID of the user this process runs as; empty when it cannot be told. It is copied out of the
// TOKEN_USER, which points into its own buffer.
Aligned currentUser() {
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    Aligned user(64);  // a TOKEN_USER with the longest SID fits in far less
    DWORD size = 0;
    const bool known = ::GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size() * 8), &size);
    ::CloseHandle(token);
    if (!known) return {};
    const PSID sid = static_cast<TOKEN_USER*>(static_cast<void*>(user.data()))->User.Sid;
    const DWORD length = ::GetLengthSid(sid);
    Aligned copy((length + 7) / 8);
    if (!::CopySid(length, copy.data(), sid)) return {};
    return copy;
}

// A self-relative copy of an absolute descriptor.
std::string selfRelative(SECURITY_DESCRIPTOR& absolute) {
    DWORD length = 0;
    ::MakeSelfRelativeSD(&absolute, nullptr, &length);
    std::string bytes(length, '\0');
    if (length == 0 || !::MakeSelfRelativeSD(&absolute, bytes.data(), &length)) return {};
    return bytes;
}

}  // namespace

std::string readAccessList(void* handle) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetSecurityInfo(handleOf(handle), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                          &descriptor) != ERROR_SUCCESS)
        return {};
    std::string bytes;
    if (dacl) bytes.assign(static_cast<const char*>(descriptor), ::GetSecurityDescriptorLength(descriptor));
    ::LocalFree(descriptor);
    return bytes;
}

// The descriptor is set on the open file as it is, with the entries the original had from its
// folder (the same folder: the new file takes the original's place). SetSecurityInfo would work
// out an unprotected list's inherited entries from the folder it finds by the file's name, a path
// someone may have changed, and under wine it leaves the file wider than the list says.
unsigned long applyAccessList(void* handle, const std::string& bytes) {
    Aligned descriptor = alignedCopy(bytes);
    if (!wholeDescriptor(descriptor, bytes.size())) return ERROR_INVALID_SECURITY_DESCR;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    if (!::GetSecurityDescriptorControl(descriptor.data(), &control, &revision)) return ::GetLastError();
    const SECURITY_INFORMATION what = DACL_SECURITY_INFORMATION | ((control & SE_DACL_PROTECTED)
                                                                       ? PROTECTED_DACL_SECURITY_INFORMATION
                                                                       : UNPROTECTED_DACL_SECURITY_INFORMATION);
    if (setOn(handleOf(handle), what, descriptor)) return ERROR_SUCCESS;
    if (::GetLastError() != ERROR_ACCESS_DENIED) return ::GetLastError();
    // A handle opened to read has no WRITE_DAC. One asking for no data access shares with every
    // other handle, so reopening for the change keeps out none of them.
    const HANDLE changer = ::ReOpenFile(handleOf(handle), WRITE_DAC | READ_CONTROL,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (changer == INVALID_HANDLE_VALUE) return ::GetLastError();
    const DWORD error = setOn(changer, what, descriptor) ? ERROR_SUCCESS : ::GetLastError();
    ::CloseHandle(changer);
    return error;
}

std::string ownerOnlyDescriptor() {
    Aligned user = currentUser();
    if (user.empty()) return {};
    const PSID sid = user.data();
    const DWORD listSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + ::GetLengthSid(sid);
    Aligned list((listSize + 7) / 8);
    const auto acl = static_cast<PACL>(static_cast<void*>(list.data()));
    SECURITY_DESCRIPTOR absolute{};
    if (!::InitializeAcl(acl, listSize, ACL_REVISION) || !::AddAccessAllowedAce(acl, ACL_REVISION, FILE_ALL_ACCESS, sid) ||
        !::InitializeSecurityDescriptor(&absolute, SECURITY_DESCRIPTOR_REVISION) ||
        !::SetSecurityDescriptorDacl(&absolute, TRUE, acl, FALSE) ||
        !::SetSecurityDescriptorControl(&absolute, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return {};
    return selfRelative(absolute);
}

unsigned long makeOwnerOnly(void* handle) {
    const std::string descriptor = ownerOnlyDescriptor();
    if (descriptor.empty()) return ERROR_INVALID_SECURITY_DESCR;
    return applyAccessList(handle, descriptor);
}

std::string accessListErrorText(unsigned long error) {
    switch (error) {
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION: return "its file system keeps no access lists";
    case ERROR_INVALID_SECURITY_DESCR:
    case ERROR_INVALID_ACL: return "the list recorded of the original is not whole";
    default: return std::strerror(errnoFromWindowsError(error));
    }
}

}  // namespace zestrel::platform
