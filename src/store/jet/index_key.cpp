#include "store/jet/index_key.h"

#include "store/jet/sort_key.h"

namespace zestrel::jet {

void appendLongKey(std::vector<std::uint8_t>& key, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value) ^ 0x80000000u;
    key.push_back(kKeyAscending);
    for (int shift = 24; shift >= 0; shift -= 8) key.push_back(static_cast<std::uint8_t>(bits >> shift));
}

bool hasTextKey(const std::u16string& text) { return hasCodePageKey(text); }

bool appendTextKey(std::vector<std::uint8_t>& key, const std::u16string& text) {
    if (!hasTextKey(text)) return false;
    std::string general;
    appendGeneralSortKey(text, general);
    key.push_back(kKeyAscending);
    key.insert(key.end(), general.begin(), general.end());
    return true;
}

}  // namespace zestrel::jet
