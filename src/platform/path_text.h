// File names as the program's texts hold them. On Linux a name is any bytes: bytes that are no
// UTF-8 travel inside a text as the code units U+DC80..U+DCFF (one a byte), so that the name
// comes back byte for byte and never stops the program. On Windows a name is UTF-16 already.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace zestrel::platform {

// The text of a name, every byte kept.
std::u16string textOfPath(const std::filesystem::path& path);
// The name a text holds: the inverse of textOfPath.
std::filesystem::path pathOfText(std::u16string_view text);
// The name a command-line argument gives: its bytes on Linux, UTF-8 on Windows.
std::filesystem::path pathFromArgument(std::string_view argument);

// A name or text as a person reads it, in UTF-8: a byte that is no UTF-8 is written "\xE9".
std::string shownPath(const std::filesystem::path& path);
std::string shownText(std::u16string_view text);

}  // namespace zestrel::platform
