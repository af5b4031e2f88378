// Any bytes as a database file: open, read the catalog and every table, and
// read every value. Each input must end in success or a numbered failure.
#include <cstddef>
#include <cstdint>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "store/jet/database_file.h"
#include "store/jet/failure.h"
#include "support/stored_rows.h"

namespace {

// One in-memory file reused for every input, reached through its /proc path.
struct MemoryFile {
    MemoryFile() : fd(memfd_create("fuzz-database", 0)), path("/proc/self/fd/" + std::to_string(fd)) {}
    int fd;
    std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static MemoryFile file;
    if (ftruncate(file.fd, 0) != 0 || pwrite(file.fd, data, size, 0) != static_cast<ssize_t>(size)) return 0;
    try {
        auto db = zestrel::jet::DatabaseFile::open(file.path);
        for (const auto& entry : db->catalog().tables(true))
            zestrel::test::readRows(*db, db->tableDefinition(entry.name));
    } catch (const zestrel::Failure& failure) {
        if (failure.number() <= 0) __builtin_trap();  // every failure carries its number
    }
    return 0;
}
