// A hook under every file operation (open, read, write, truncate, fsync,
// close, rename, link, delete, create folder, copy, folder sync, lock), for testing that nothing is
// lost when one of them fails or the process dies: operations are counted, and
// when armed the k-th one fails with EIO. With the environment variable
// ZESTREL_KILL_AT_OPERATION=k the process kills itself (SIGKILL; on Windows
// TerminateProcess with exit code 137) at the k-th operation instead. Unarmed, the hook only counts.
#pragma once

#include <filesystem>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <vector>
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

// Makes another program act just before an operation: `action` is called with the path of each
// operation named `operation` ("rename", "open", ...) until it answers true, and then no more; an
// empty action takes it away. A race with another program is so won at a chosen moment.
void actBefore(const std::string& operation, std::function<bool(const std::filesystem::path&)> action);

// Called by every file operation before it acts.
void check(const char* operation, const std::filesystem::path& path);

// Makes every later write to a file named `fileName` reach it damaged, as a failing disk might:
// each 2,048-byte data page written (first byte 1) has the low byte of its free-space count
// changed. Empty: writes reach their files as given.
void damageWritesTo(const std::string& fileName);
// Called by every write before it acts, as check() is; returns the bytes the write to `path` at
// `offset` puts in the file: `data` itself, or a damaged copy of it in `damaged` when
// damageWritesTo names the file.
std::span<const std::uint8_t> checkWrite(const std::filesystem::path& path, std::uint64_t offset,
                                         std::span<const std::uint8_t> data, std::vector<std::uint8_t>& damaged);

}  // namespace zestrel::platform::faults
