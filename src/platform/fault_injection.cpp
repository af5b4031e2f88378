#include "platform/fault_injection.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/file.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zestrel::platform::faults {

namespace {

// Operations may come from more than one thread (the list of changes spills on its own): they are
// counted one at a time. Recursive, since an action run before an operation may do file operations.
std::recursive_mutex guard;

long count = 0;
std::vector<long> failAtOperations;

long killAt() {
    static const long value = [] {
        const char* text = std::getenv("ZESTREL_KILL_AT_OPERATION");
        return text ? std::atol(text) : 0L;
    }();
    return value;
}

std::string actingBefore;
std::function<bool(const std::filesystem::path&)> actor;

long processCount = 0;  // never reset: the kill point counts from the start of the process
std::string failed;
std::string damagedFile;

constexpr std::uint64_t kDamagedPageSize = 2048;
constexpr std::size_t kFreeSpaceOffset = 2;

}  // namespace

void arm(long failAt) { arm({failAt}); }

void arm(std::initializer_list<long> failAt) {
    std::lock_guard lock(guard);
    count = 0;
    failed.clear();
    failAtOperations.assign(failAt.begin(), failAt.end());
}

void disarm() { failAtOperations.clear(); }

long operationCount() { return count; }

std::string failedOperation() { return failed; }

void resetCount() { count = 0; }

void actBefore(const std::string& operation, std::function<bool(const std::filesystem::path&)> action) {
    actingBefore = operation;
    actor = std::move(action);
}

void check(const char* operation, const std::filesystem::path& path) {
    std::lock_guard lock(guard);
    if (actor && actingBefore == operation && actor(path)) actor = nullptr;
    ++count;
    ++processCount;
    if (killAt() > 0 && processCount == killAt()) {
#ifdef _WIN32
        // At once, as SIGKILL: nothing is flushed or closed (137, as a shell reports SIGKILL).
        ::TerminateProcess(::GetCurrentProcess(), 137);
#else
        std::raise(SIGKILL);
#endif
    }
    if (std::find(failAtOperations.begin(), failAtOperations.end(), count) != failAtOperations.end()) {
        if (failed.empty()) failed = std::string(operation) + " " + path.string();
        throw FileError(operation, path, EIO);
    }
}

void damageWritesTo(const std::string& fileName) { damagedFile = fileName; }

std::span<const std::uint8_t> checkWrite(const std::filesystem::path& path, std::uint64_t offset,
                                         std::span<const std::uint8_t> data, std::vector<std::uint8_t>& damaged) {
    check("write", path);
    std::lock_guard lock(guard);
    if (damagedFile.empty() || path.filename().string() != damagedFile) return data;
    damaged.assign(data.begin(), data.end());
    for (std::uint64_t page = (offset + kDamagedPageSize - 1) / kDamagedPageSize * kDamagedPageSize;
         page + kDamagedPageSize <= offset + data.size(); page += kDamagedPageSize) {
        const std::size_t at = static_cast<std::size_t>(page - offset);
        if (damaged[at] == 1) damaged[at + kFreeSpaceOffset] ^= 0x01;
    }
    return damaged;
}

}  // namespace zestrel::platform::faults
