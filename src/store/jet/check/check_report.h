// What a structural check found: faults (structures the genuine engine would
// trip over, or that contradict each other) and notes (leftovers the genuine
// engine tolerates, such as freed pages that still name their old owner).
//
// Some states the genuine engine leaves in its own files and reads without
// complaint: a table's row count that differs from the rows its pages hold
// (kept stale after a crash or a deletion), and pages that deleted rows,
// indexes or tables left behind until the file is compacted: pages no map
// owns that the global map does not mark free, and long-value pages no
// column's map lists. In any file they are
// notes; in a file this program has just written and closed they can only
// come from a fault of ours, and the strict mode reports them as faults.
#pragma once

#include <string>
#include <vector>

namespace zestrel::jet::check {

enum class CheckMode {
    AnyFile,  // what the genuine engine reads without complaint passes
    Strict,   // for a file this program wrote: the engine's own leftovers are faults too
};

struct CheckReport {
    CheckMode mode = CheckMode::AnyFile;
    std::vector<std::string> faults;
    std::vector<std::string> notes;
    std::size_t pagesChecked = 0;
    std::size_t tablesChecked = 0;
    std::size_t rowsChecked = 0;

    bool clean() const { return faults.empty(); }
    void fault(std::string text) { faults.push_back(std::move(text)); }
    void note(std::string text) { notes.push_back(std::move(text)); }
    // A state the genuine engine leaves and tolerates: a note, or a fault in the strict mode.
    void engineLeftover(std::string text) {
        if (mode == CheckMode::Strict) fault(std::move(text));
        else note(std::move(text));
    }
};

}  // namespace zestrel::jet::check
