// Creating a new, empty Jet 3 database file: the header page, the global usage
// map, the engine's four system tables with their indexes, usage maps and
// catalog rows, and the access rights of the engine's objects.
#pragma once

#include <filesystem>

#include "platform/file.h"
#include "store/jet/value.h"

namespace zestrel::jet {

// Fills `file`, which must be new and empty, and makes it durable.
void writeNewJet3Database(platform::File file, DateTime now);

}  // namespace zestrel::jet
