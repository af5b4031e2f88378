#include "text/code_page.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace zestrel::text {

namespace {

constexpr std::uint8_t kDefaultByte = '?';

// Whether every unit is ASCII, which every Windows code page stores and reads as itself. Most
// texts are plain ASCII; eight bytes are tested at a time.
template <typename Unit>
bool allAscii(const Unit* units, std::size_t count) {
    constexpr std::uint64_t kHighBits = sizeof(Unit) == 1 ? 0x8080808080808080ull : 0xFF80FF80FF80FF80ull;
    constexpr std::size_t kPerWord = 8 / sizeof(Unit);
    std::size_t i = 0;
    for (; i + kPerWord <= count; i += kPerWord) {
        std::uint64_t word;
        std::memcpy(&word, units + i, sizeof word);
        if (word & kHighBits) return false;
    }
    for (; i < count; ++i)
        if (units[i] >= 0x80) return false;
    return true;
}

// The value paired with `key` in a table of sorted (key, value) pairs, or `missing`.
std::uint16_t pairedValue(const std::uint16_t* pairs, std::size_t count, std::uint16_t key, std::uint16_t missing) {
    std::size_t low = 0;
    std::size_t high = count;
    while (low < high) {
        const std::size_t middle = (low + high) / 2;
        const std::uint16_t at = pairs[2 * middle];
        if (at == key) return pairs[2 * middle + 1];
        if (at < key) low = middle + 1;
        else high = middle;
    }
    return missing;
}

}  // namespace

std::u16string CodePage::decode(std::span<const std::uint8_t> bytes) const {
    if (allAscii(bytes.data(), bytes.size())) return std::u16string(bytes.begin(), bytes.end());
    std::u16string out;
    out.reserve(bytes.size());
    const char16_t fallback = source_->defaultCharacter;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char16_t unit = source_->toUnicode[bytes[i]];
        if (unit == tables::kLeadByte) {
            if (i + 1 == bytes.size()) {  // a lead byte without its trail byte
                out.push_back(fallback);
                break;
            }
            const auto pair = static_cast<std::uint16_t>(bytes[i] << 8 | bytes[i + 1]);
            out.push_back(pairedValue(source_->doubleByte, source_->doubleByteCount, pair, fallback));
            ++i;
        } else {
            out.push_back(unit == tables::kUndefined ? fallback : unit);
        }
    }
    return out;
}

std::uint8_t CodePage::byteFor(char16_t unit) const {
    if (unit < 0x80) return static_cast<std::uint8_t>(unit);
    if (unit < 0x100 && source_->toUnicode[unit] == unit) return static_cast<std::uint8_t>(unit);
    return static_cast<std::uint8_t>(
        pairedValue(source_->fromUnicode, source_->fromUnicodeCount, unit, kDefaultByte));
}

char16_t CodePage::readBack(std::uint8_t byte) const {
    const char16_t unit = source_->toUnicode[byte];
    return unit >= tables::kLeadByte ? source_->defaultCharacter : unit;
}

std::size_t CodePage::encode(std::u16string_view text, std::uint8_t* out) const {
    if (allAscii(text.data(), text.size())) {
        std::copy(text.begin(), text.end(), out);
        return text.size();
    }
    std::size_t written = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isPairStart(text, i)) {
            out[written++] = kDefaultByte;
            ++i;
        } else {
            out[written++] = byteFor(text[i]);
        }
    }
    return written;
}

void CodePage::appendEncoded(std::u16string_view text, std::vector<std::uint8_t>& out) const {
    const std::size_t start = out.size();
    out.resize(start + text.size());
    out.resize(start + encode(text, out.data() + start));
}

bool CodePage::holds(std::u16string_view text) const {
    if (allAscii(text.data(), text.size())) return true;
    return std::all_of(text.begin(), text.end(), [&](char16_t unit) {
        return unit < 0x80 || ((unit < 0xD800 || unit > 0xDFFF) && readBack(byteFor(unit)) == unit);
    });
}

std::u16string CodePage::stored(std::u16string_view text) const {
    if (holds(text)) return std::u16string(text);
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isPairStart(text, i)) {
            out.push_back(u'?');
            ++i;
        } else {
            out.push_back(readBack(byteFor(text[i])));
        }
    }
    return out;
}

const CodePage* findCodePage(std::uint16_t number) {
    static const std::vector<CodePage> pages = [] {
        std::vector<CodePage> all;
        for (const auto& source : tables::all()) all.emplace_back(source);
        return all;
    }();
    for (const auto& page : pages)
        if (page.number() == number) return &page;
    return nullptr;
}

const CodePage kWesternEuropean = [] {
    for (const auto& source : tables::all())
        if (source.number == 1252) return CodePage(source);
    return CodePage(tables::all().front());  // never: the tables always hold 1252
}();

}  // namespace zestrel::text
