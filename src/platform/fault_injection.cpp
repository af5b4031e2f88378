#include "platform/fault_injection.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>

#include "platform/file.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace zestrel::platform::faults {

namespace {

long count = 0;
long failAtOperation = 0;

long killAt() {
    static const long value = [] {
        const char* text = std::getenv("ZESTREL_KILL_AT_OPERATION");
        return text ? std::atol(text) : 0L;
    }();
    return value;
}

long processCount = 0;  // never reset: the kill point counts from the start of the process
std::string failed;

}  // namespace

void arm(long failAt) {
    count = 0;
    failed.clear();
    failAtOperation = failAt;
}

void disarm() { failAtOperation = 0; }

long operationCount() { return count; }

std::string failedOperation() { return failed; }

void resetCount() { count = 0; }

void check(const char* operation, const std::filesystem::path& path) {
    ++count;
    ++processCount;
    if (killAt() > 0 && processCount == killAt()) {
#ifdef _WIN32
        ::TerminateProcess(::GetCurrentProcess(), 137);  // at once, as SIGKILL: nothing is flushed or closed (137, as a shell reports SIGKILL)
#else
        std::raise(SIGKILL);
#endif
    }
    if (failAtOperation > 0 && count == failAtOperation) {
        failed = std::string(operation) + " " + path.string();
        throw FileError(operation, path, EIO);
    }
}

}  // namespace zestrel::platform::faults
