// The local wall-clock time, as the engine stamps new objects with it.
#pragma once

#include <cstdint>
#include <filesystem>

namespace zestrel::platform {

struct LocalTime {
    int year, month, day, hour, minute, second;
};

LocalTime localNow();
// A file time (as std::filesystem gives it) in local wall-clock time.
LocalTime localTimeOf(std::filesystem::file_time_type time);
// A time in seconds since 1970 (UTC) in local wall-clock time.
LocalTime localTimeAtSeconds(std::int64_t seconds);

}  // namespace zestrel::platform
