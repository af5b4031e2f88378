// Jet 4 text: UTF-16, optionally in its compressed form (a leading FF FE, then runs of one-byte
// characters and two-byte characters switched by a zero byte).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "text/code_page.h"

namespace zestrel::jet {

std::u16string decodeJet4Text(std::span<const std::uint8_t> bytes);

// The bytes `page` stores for the text decodeJet4Text(bytes) reads as, into `out`, when every
// character of it is stored as itself (reads back unchanged); converted straight from the stored
// form, one byte a character. Otherwise returns false, `out` then holding nothing of use.
bool jet4TextInCodePage(std::span<const std::uint8_t> bytes, const text::CodePage& page,
                        std::vector<std::uint8_t>& out);

}  // namespace zestrel::jet
