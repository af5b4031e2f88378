// `zestrel check FILE`: the structural check, one line per fault (and per
// note, marked as such), then a summary line. Exit 0 only when no fault was found.
#pragma once

#include <iosfwd>
#include <string>

namespace zestrel::cli {

int checkFile(const std::string& file, bool showNotes, std::ostream& out);

}  // namespace zestrel::cli
