// A hook under every file operation (open, read, write, truncate, fsync,
// close, rename, link, delete, create folder, copy, folder sync, lock), for testing that nothing is
// lost when one of them fails or the process dies: operations are counted, and
// when armed the k-th one fails with EIO. With the environment variable
// ZESTREL_KILL_AT_OPERATION=k the process kills itself (SIGKILL; on Windows
// TerminateProcess with exit code 137) at the k-th operation instead. Unarmed, the hook only counts.
#pragma once

#include <filesystem>
#include <initializer_list>
#include <string>

namespace zestrel::platform::faults {

// Makes operation number `failAt` (counted from the next one, starting at 1) fail; 0 disarms.
void arm(long failAt);
// Makes each of these operations fail (a failure, and then another one while it is being handled).
void arm(std::initializer_list<long> failAt);
void disarm();
// Operations counted since the last arm() or resetCount().
long operationCount();
void resetCount();

// The operation the armed fault hit ("write /path/file"), empty when none was hit.
std::string failedOperation();

// Called by every file operation before it acts.
void check(const char* operation, const std::filesystem::path& path);

}  // namespace zestrel::platform::faults
