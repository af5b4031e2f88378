// Running another program from a test and collecting what it printed.
#pragma once

#include <string>
#include <vector>

namespace zestrel::test {

// The exit code a Windows program that killed itself at once ends with (as by SIGKILL elsewhere).
inline constexpr unsigned long kKilledExitCode = 137;

struct ProcessResult {
    int exitCode = -1;  // -1 when it did not exit normally (killed)
    std::string out;
    std::string err;
};

// Runs a program; `environment` entries ("NAME=value") are added to the inherited environment.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment = {});
// Runs a program with standard output and error on one new terminal (Linux only), as a person at
// a terminal sees it: `out` holds both.
ProcessResult runOnTerminal(const std::vector<std::string>& argv);
// The lines a terminal shows after it received `out`: a carriage return goes back to the line's
// start, text overwrites what stands there, a line feed starts a new line; blanks at a line's end
// are not seen, nor is an empty last line.
std::vector<std::string> terminalScreen(const std::string& out);
// Runs this project's command-line program with `args`.
ProcessResult zestrel(std::vector<std::string> args, const std::vector<std::string>& environment = {});
bool programExists(const std::string& name);

}  // namespace zestrel::test
