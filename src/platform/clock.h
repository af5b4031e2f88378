// The local wall-clock time, as the engine stamps new objects with it.
#pragma once

namespace zestrel::platform {

struct LocalTime {
    int year, month, day, hour, minute, second;
};

LocalTime localNow();

}  // namespace zestrel::platform
