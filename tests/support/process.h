// Running another program from a test and collecting what it printed.
#pragma once

#include <string>
#include <vector>

namespace zestrel::test {

struct ProcessResult {
    int exitCode = -1;  // -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs a program; `environment` entries ("NAME=value") are added to the inherited environment.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
bool programExists(const std::string& name);

}  // namespace zestrel::test
