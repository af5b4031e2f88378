// The command line and the terminal: arguments as UTF-8 whatever the system's code page, whether
// standard output is a terminal, and a console that shows UTF-8 output as written.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel::platform {

// The program's arguments (the program's name first) in UTF-8. On Windows they are read from the
// wide command line, so that a file named in any script arrives intact, with wildcards expanded
// as Windows programs expand them (argument_wildcards.h); elsewhere they are argv.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// The path a UTF-8 text names.
std::filesystem::path pathFromUtf8(std::string_view text);

bool standardOutputIsTerminal();
bool standardErrorIsTerminal();
// The width in columns of the terminal standard error writes to; nothing when that is no terminal
// or the terminal does not tell.
std::optional<int> standardErrorColumns();

// Makes a Windows console show UTF-8 output, with lines ending in LF; nothing elsewhere.
void useUtf8Console();

// Writes `line` and a line end to standard error: to a Windows console as wide characters, which
// it shows whatever its code page; anywhere else (a file, a pipe, a terminal) as UTF-8.
void writeErrorLine(std::u16string_view line);

}  // namespace zestrel::platform
