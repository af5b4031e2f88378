// What a structural check found: faults (structures the genuine engine would
// trip over, or that contradict each other) and notes (leftovers the genuine
// engine tolerates, such as freed pages that still name their old owner).
#pragma once

#include <string>
#include <vector>

namespace zestrel::jet::check {

struct CheckReport {
    std::vector<std::string> faults;
    std::vector<std::string> notes;
    std::size_t pagesChecked = 0;
    std::size_t tablesChecked = 0;
    std::size_t rowsChecked = 0;

    bool clean() const { return faults.empty(); }
    void fault(std::string text) { faults.push_back(std::move(text)); }
    void note(std::string text) { notes.push_back(std::move(text)); }
};

}  // namespace zestrel::jet::check
