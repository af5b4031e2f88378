// UTF-8, the form texts take at the program's edges (terminal, JSON, file names); inside, texts
// are UTF-16 code units. Malformed input never fails: it reads as U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace zestrel::text {

std::string toUtf8(const std::u16string& text);
// The same, appended to `out`.
void appendUtf8(std::u16string_view text, std::string& out);
std::u16string fromUtf8(const std::string& text);

}  // namespace zestrel::text
