#include "cli/check_command.h"

#include <ostream>

#include "platform/path_text.h"

#include "platform/console.h"
#include "store/jet/check/database_check.h"

namespace zestrel::cli {

int checkFile(const std::string& file, const CheckOptions& options, std::ostream& out) {
    const auto report = jet::check::checkDatabaseFile(
        platform::pathFromArgument(file), options.strict ? jet::check::CheckMode::Strict : jet::check::CheckMode::AnyFile,
        options.codePage);
    for (const auto& fault : report.faults) out << fault << '\n';
    if (options.showNotes)
        for (const auto& note : report.notes) out << "note: " << note << '\n';
    out << file << ": " << report.faults.size() << (report.faults.size() == 1 ? " fault" : " faults") << ", "
        << report.notes.size() << (report.notes.size() == 1 ? " note" : " notes") << " (" << report.pagesChecked
        << " pages, " << report.tablesChecked << " tables, " << report.rowsChecked << " rows checked)\n";
    return report.clean() ? 0 : 1;
}

}  // namespace zestrel::cli
