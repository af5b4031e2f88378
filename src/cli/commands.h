// The command-line program `zestrel`: subcommands over cookbook files and any
// Jet 3 or Jet 4 database. Exit status 0 on success, 1 on failure (the failure
// is printed as "<number> - <description>"), 2 on wrong usage.
#pragma once

namespace zestrel::cli {

int runZestrel(int argc, char** argv);

}  // namespace zestrel::cli
