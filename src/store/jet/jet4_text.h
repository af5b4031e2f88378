// Jet 4 text: UTF-16, optionally in its compressed form (a leading FF FE, then runs of one-byte
// characters and two-byte characters switched by a zero byte).
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace zestrel::jet {

std::u16string decodeJet4Text(std::span<const std::uint8_t> bytes);

}  // namespace zestrel::jet
