// What one run of the upgrade came to, as one value: the window shows it with its boxes and
// texts, the command line prints it and takes its exit status from it. Nothing decides from the
// boxes a run showed or from their sentences.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "store/jet/failure.h"

namespace zestrel::upgrade {

struct RunOutcome {
    enum class Result {
        NotRun,          // no upgrade was asked for, or it was refused before it started (see `failure`)
        Upgraded,        // the cookbook is now at layout 1.3 (a dry run: it would be, and nothing changed)
        AlreadyCurrent,  // the cookbook was at 1.2 or later: nothing to do
        Refused,         // the cookbook's version is none an upgrade takes: nothing was changed
        Failed,          // a step failed; `failure` says which, and nothing was changed
    };
    Result result = Result::NotRun;
    bool dryRun = false;
    std::filesystem::path backup;      // where the original is kept; empty for a dry run
    std::filesystem::path changeList;  // the list of changed values beside it, when there is one
    std::size_t changes = 0;           // values stored other than as the old cookbook held them
    std::size_t renamedRecipes = 0;    // recipes that got a new rID so that no two share one
    std::vector<std::u16string> notes; // what the owner should know beside a success
    std::optional<Failure> failure;    // the failure of a run that failed

    bool upgraded() const { return result == Result::Upgraded; }
};

}  // namespace zestrel::upgrade
