#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace zestrel::platform {

namespace {

LocalTime localTimeAt(std::time_t at) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &at);
#else
    localtime_r(&at, &local);
#endif
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

}  // namespace

LocalTime localNow() { return localTimeAt(std::time(nullptr)); }

LocalTime localTimeOf(std::filesystem::file_time_type time) {
    const auto system = std::chrono::file_clock::to_sys(time);
    return localTimeAt(std::chrono::system_clock::to_time_t(std::chrono::time_point_cast<std::chrono::system_clock::duration>(system)));
}

LocalTime localTimeAtSeconds(std::int64_t seconds) { return localTimeAt(static_cast<std::time_t>(seconds)); }

}  // namespace zestrel::platform
