#include "store/jet/sort_key.h"

#include <algorithm>
#include <array>
#include <vector>

#include "store/jet/general_codes.h"
#include "text/code_page.h"

namespace zestrel::jet {

namespace {

// A character outside code page 1252: this byte, then its code unit big-endian. It is above every
// primary byte of the page, so such characters weigh after every letter.
constexpr std::uint8_t kBeyondCodePage = 0x82;
// The accent section opens and closes with a zero place; it is written two places a byte, high
// half first, so that it starts below every primary byte and a text before its longer
// continuations.
constexpr std::uint8_t kAccentBound = 0;

// The primary byte of each ASCII digit and letter; 0 for every other character.
const std::array<std::uint8_t, 128> kPlainCodes = [] {
    std::array<std::uint8_t, 128> codes{};
    const auto take = [&codes](char from, char to) {
        for (char c = from; c <= to; ++c) {
            const auto byte = static_cast<std::uint8_t>(c);
            codes[byte] = static_cast<std::uint8_t>(generalCodeOf(byte).primary);
        }
    };
    take('0', '9');
    take('A', 'Z');
    take('a', 'z');
    return codes;
}();

// Digits and letters without accents, nearly every key's characters, weigh one byte each and leave
// the accent section empty: their key is written straight. False (and nothing written) for a text
// with any other character.
template <typename Character>
bool appendPlainKey(std::basic_string_view<Character> text, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + text.size() + 1);
    char* at = out.data() + start;
    for (const Character c : text) {
        const std::uint8_t code = c < 0x80 ? kPlainCodes[c] : 0;
        if (code == 0) {
            out.resize(start);
            return false;
        }
        *at++ = static_cast<char>(code);
    }
    *at = static_cast<char>(kAccentBound << 4 | kAccentBound);  // an empty accent section
    return true;
}

// The byte of code page 1252 that holds the character, if the page has it.
bool codePageByte(char16_t c, std::uint8_t& byte) {
    if (c < 0x80) {
        byte = static_cast<std::uint8_t>(c);
        return true;
    }
    return text::westernEuropean().storesAsItself(c, byte);
}

// Writes a text's primary bytes to `out` and its accent places to `accents`.
class KeyWriter {
public:
    KeyWriter(std::string& out, std::vector<std::uint8_t>& accents) : out_(out), accents_(accents) {}

    void character(char16_t c) {
        std::uint8_t byte = 0;
        if (!codePageByte(c, byte)) {
            push(kBeyondCodePage);
            push(static_cast<std::uint8_t>(c >> 8));
            push(static_cast<std::uint8_t>(c));
            return;
        }
        const GeneralCode code = generalCodeOf(byte);
        if (code.primary > 0xFF) letter(static_cast<std::uint8_t>(code.primary >> 8), 0);
        letter(static_cast<std::uint8_t>(code.primary), code.accent);
    }

    // The accent section: its places without the trailing ones that carry no accent, between bounds.
    void finish() {
        std::size_t used = accents_.size();
        while (used > 0 && accents_[used - 1] == kNoAccent) --used;
        std::uint8_t high = kAccentBound;
        bool half = true;  // the bound fills the first byte's high half
        const auto place = [&](std::uint8_t value) {
            if (half) push(static_cast<std::uint8_t>(high << 4 | value));
            else high = value;
            half = !half;
        };
        for (std::size_t i = 0; i < used; ++i) place(accents_[i]);
        place(kAccentBound);
        if (half) push(static_cast<std::uint8_t>(high << 4));
    }

private:
    void letter(std::uint8_t primary, std::uint8_t accent) {
        push(primary);
        if (accent != 0) accents_.push_back(accent);
        else if (takesAccent(primary)) accents_.push_back(kNoAccent);
    }
    void push(std::uint8_t byte) { out_.push_back(static_cast<char>(byte)); }

    std::string& out_;
    std::vector<std::uint8_t>& accents_;
};

// The text without its trailing spaces, which weigh nothing.
std::u16string_view weighed(std::u16string_view text) {
    std::size_t end = text.size();
    while (end > 0 && text[end - 1] == u' ') --end;
    return text.substr(0, end);
}

}  // namespace

void appendGeneralSortKey(std::u16string_view text, std::string& out) {
    if (appendPlainKey(text, out)) return;
    // Kept from call to call: a sort computes one key for each of a table's rows.
    thread_local std::vector<std::uint8_t> accents;
    accents.clear();
    KeyWriter writer(out, accents);
    for (char16_t c : weighed(text)) writer.character(c);
    writer.finish();
}

bool appendPlainSortKey(std::span<const std::uint8_t> text, std::string& out) {
    return appendPlainKey(std::basic_string_view<std::uint8_t>(text.data(), text.size()), out);
}

bool hasCodePageKey(std::u16string_view text) {
    std::uint8_t byte = 0;
    return std::all_of(text.begin(), text.end(), [&](char16_t c) { return codePageByte(c, byte); });
}

int compareGeneral(const std::u16string& a, const std::u16string& b) {
    std::string keyA;
    std::string keyB;
    appendGeneralSortKey(a, keyA);
    appendGeneralSortKey(b, keyB);
    const int order = keyA.compare(keyB);
    return (order > 0) - (order < 0);
}

namespace {

char16_t foldCase(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 0x20);
    return c;
}

}  // namespace

bool equalsIgnoringCase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

}  // namespace zestrel::jet
