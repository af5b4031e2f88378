#include "support/header_code_page.h"

#include <fstream>

#include "store/jet/header_page.h"

namespace zestrel::test {

void setHeaderCodePage(const std::filesystem::path& path, std::uint16_t from, std::uint16_t to) {
    std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
    char bytes[2];
    file.seekg(jet::kCodePageOffset);
    file.read(bytes, 2);
    bytes[0] = static_cast<char>(bytes[0] ^ ((from ^ to) & 0xFF));
    bytes[1] = static_cast<char>(bytes[1] ^ ((from ^ to) >> 8));
    file.seekp(jet::kCodePageOffset);
    file.write(bytes, 2);
}

}  // namespace zestrel::test
