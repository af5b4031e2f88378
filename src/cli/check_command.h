// `zestrel check FILE`: the structural check, one line per fault (and per
// note, marked as such), then a summary line. Exit 0 only when no fault was found.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

namespace zestrel::cli {

struct CheckOptions {
    bool showNotes = false;
    // Leftovers the genuine engine tolerates (stale row counts, pages no map or column owns) count
    // as faults: for files this program wrote.
    bool strict = false;
    // Jet 3 text is read in this code page whatever the header names.
    std::optional<std::uint16_t> codePage;
};

int checkFile(const std::string& file, const CheckOptions& options, std::ostream& out);

}  // namespace zestrel::cli
