// Texts from a cookbook or a file name as the command line writes them for a person: control
// characters (C0 but tab, DEL, C1, and so ESC) are written as "\x1B", never obeyed by the
// terminal, and a byte of a name that is no UTF-8 as "\xE9".
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zestrel::cli {

// One line: a line break in the text is escaped too, so that it cannot start a line of its own.
std::string shownLine(std::string_view utf8);
// A message of several lines: its own line breaks stay.
std::string shownMessage(std::string_view utf8);
std::string shownMessage(std::u16string_view text);
// A file name on one line.
std::string shownName(const std::filesystem::path& path);
std::string shownName(const std::u16string& pathText);

}  // namespace zestrel::cli
