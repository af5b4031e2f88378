// The commands that work on cookbooks as the window does: version (what
// Browse finds), upgrade (Browse and Upgrade, headless, file after file) and
// restore (the newest backup put back). Each names the cookbook in what it
// says; data goes to standard output, what happens to standard error. Each
// returns the exit status: 0 success, 1 failure.
#pragma once

#include <string>
#include <vector>

namespace zestrel::cli {

// The version as Browse sees it, and whether an upgrade is offered.
int cookbookVersion(const std::string& file);

struct UpgradeOptions {
    std::vector<std::string> files;
    std::string programFolder;  // empty: the default program folder
    bool quiet = false;         // only failures are printed
    bool verbose = false;       // the window's status lines too
    bool dryRun = false;        // copy and check only; print the values an upgrade would change
};

// Browse and Upgrade on each file in turn, each reported; 0 when every cookbook ends current
// (one already current counts), 1 when any could not be upgraded, after trying the rest.
int upgradeCookbooks(const UpgradeOptions& options);

struct RestoreOptions {
    std::string cookbook;
    std::string programFolder;
    bool list = false;  // only list the backups, with their dates
    std::string from;   // the backup to put back, named; empty: the cookbook's newest own backup
};

int restoreCookbook(const RestoreOptions& options);

}  // namespace zestrel::cli
