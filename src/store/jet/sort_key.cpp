#include "store/jet/sort_key.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace zestrel::jet {

namespace {

// The base letter and accent rank of the letters 0xC0..0xFF.
struct Folded {
    const char* base;  // one or two lower-case letters
    std::uint8_t accent;
};

constexpr Folded kLatin1[64] = {
    {"a", 2}, {"a", 1}, {"a", 3}, {"a", 5}, {"a", 4}, {"a", 6}, {"ae", 0}, {"c", 7},  // C0-C7
    {"e", 2}, {"e", 1}, {"e", 3}, {"e", 4}, {"i", 2}, {"i", 1}, {"i", 3}, {"i", 4},   // C8-CF
    {"d", 8}, {"n", 5}, {"o", 2}, {"o", 1}, {"o", 3}, {"o", 5}, {"o", 4}, {nullptr, 0},  // D0-D7 (D7 is ×)
    {nullptr, 0}, {"u", 2}, {"u", 1}, {"u", 3}, {"u", 4}, {"y", 1}, {"th", 0}, {"ss", 0},  // D8-DF (D8 is Ø)
    {"a", 2}, {"a", 1}, {"a", 3}, {"a", 5}, {"a", 4}, {"a", 6}, {"ae", 0}, {"c", 7},  // E0-E7
    {"e", 2}, {"e", 1}, {"e", 3}, {"e", 4}, {"i", 2}, {"i", 1}, {"i", 3}, {"i", 4},   // E8-EF
    {"d", 8}, {"n", 5}, {"o", 2}, {"o", 1}, {"o", 3}, {"o", 5}, {"o", 4}, {nullptr, 0},  // F0-F7 (F7 is ÷)
    {nullptr, 0}, {"u", 2}, {"u", 1}, {"u", 3}, {"u", 4}, {"y", 1}, {"th", 0}, {"y", 4},   // F8-FF (F8 is ø)
};

struct Weight {
    std::uint32_t primary;
    std::uint8_t accent;
};

constexpr std::uint32_t kPunctuationBase = 0x100;
constexpr std::uint32_t kDigitBase = 0x20000;
constexpr std::uint32_t kLetterBase = 0x20100;
constexpr std::uint32_t kLetterAfterZ = kLetterBase + 26;
constexpr std::uint32_t kOtherBase = 0x30000;

void pushLetters(const char* letters, std::uint8_t accent, std::vector<Weight>& out) {
    for (const char* p = letters; *p; ++p) out.push_back({kLetterBase + static_cast<std::uint32_t>(*p - 'a'), accent});
}

void appendWeights(char16_t c, std::vector<Weight>& out) {
    if (c >= u'0' && c <= u'9') return out.push_back({kDigitBase + (c - u'0'), 0});
    if (c >= u'a' && c <= u'z') return out.push_back({kLetterBase + (c - u'a'), 0});
    if (c >= u'A' && c <= u'Z') return out.push_back({kLetterBase + (c - u'A'), 0});
    if (c >= 0xC0 && c <= 0xFF && kLatin1[c - 0xC0].base) return pushLetters(kLatin1[c - 0xC0].base, kLatin1[c - 0xC0].accent, out);
    switch (c) {
    case 0x00D8: case 0x00F8: return out.push_back({kLetterAfterZ, 0});  // Ø ø: a letter of its own
    case 0x0160: case 0x0161: return pushLetters("s", 10, out);  // Š š
    case 0x017D: case 0x017E: return pushLetters("z", 10, out);  // Ž ž
    case 0x0152: case 0x0153: return pushLetters("oe", 0, out);  // Œ œ
    case 0x0178: return pushLetters("y", 4, out);                // Ÿ
    case 0x0192: return pushLetters("f", 11, out);               // ƒ
    default: break;
    }
    if (c < 0x100 || (c >= 0x2000 && c <= 0x206F)) return out.push_back({kPunctuationBase + c, 0});
    out.push_back({kOtherBase + c, 0});
}

std::vector<Weight> weightsOf(const std::u16string& text) {
    std::vector<Weight> out;
    out.reserve(text.size());
    for (char16_t c : text) appendWeights(c, out);
    return out;
}

template <typename Key>
int compareBy(const std::vector<Weight>& a, const std::vector<Weight>& b, Key key) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (key(a[i]) != key(b[i])) return key(a[i]) < key(b[i]) ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

char16_t foldCase(char16_t c) {
    if ((c >= u'A' && c <= u'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return static_cast<char16_t>(c + 0x20);
    return c;
}

}  // namespace

int compareGeneral(const std::u16string& a, const std::u16string& b) {
    const auto wa = weightsOf(a);
    const auto wb = weightsOf(b);
    if (int primary = compareBy(wa, wb, [](const Weight& w) { return w.primary; })) return primary;
    // Beyond letters and accents texts are equal: case never decides.
    return compareBy(wa, wb, [](const Weight& w) { return w.accent; });
}

namespace {

// One primary weight as bytes that sort as the weights do: a first byte that orders the
// classes (punctuation, digits, letters, others) and, where a class holds more than fits, the
// code unit after it. No weight starts with 0x00, which ends the primary part.
void appendPrimary(std::uint32_t primary, std::string& out) {
    const auto byte = [&out](std::uint32_t b) { out.push_back(static_cast<char>(static_cast<std::uint8_t>(b))); };
    if (primary >= kOtherBase) {
        byte(0x40);
        byte((primary - kOtherBase) >> 8);
        byte(primary - kOtherBase);
    } else if (primary >= kLetterBase) {
        byte(0x20 + (primary - kLetterBase));
    } else if (primary >= kDigitBase) {
        byte(0x10 + (primary - kDigitBase));
    } else if (primary - kPunctuationBase < 0x100) {
        byte(0x01);
        byte(primary - kPunctuationBase);
    } else {
        byte(0x02);
        byte(primary - kPunctuationBase - 0x2000);
    }
}

}  // namespace

namespace {

// Digits and unaccented letters, nearly every key's characters, weigh one byte each and carry no
// accent: their key is written straight. False (and nothing written) for a text with any other.
template <typename Character>
bool appendPlainKey(std::basic_string_view<Character> text, std::string& out) {
    const std::size_t start = out.size();
    out.resize(start + text.size() + 2);
    char* at = out.data() + start;
    for (const Character c : text) {
        if (c >= '0' && c <= '9') *at++ = static_cast<char>(0x10 + (c - '0'));
        else if (c >= 'a' && c <= 'z') *at++ = static_cast<char>(0x20 + (c - 'a'));
        else if (c >= 'A' && c <= 'Z') *at++ = static_cast<char>(0x20 + (c - 'A'));
        else {
            out.resize(start);
            return false;
        }
    }
    at[0] = '\0';  // the end of the primary weights; no accents follow
    at[1] = '\0';
    return true;
}

}  // namespace

bool appendPlainSortKey(std::span<const std::uint8_t> text, std::string& out) {
    return appendPlainKey(std::basic_string_view<std::uint8_t>(text.data(), text.size()), out);
}

void appendGeneralSortKey(const std::u16string& text, std::string& out) {
    if (appendPlainKey(std::u16string_view(text), out)) return;
    // Kept from call to call: a sort computes one key for each of a table's rows.
    thread_local std::vector<Weight> weights;
    weights.clear();
    for (char16_t c : text) appendWeights(c, weights);
    for (const Weight& w : weights) appendPrimary(w.primary, out);
    out.push_back('\0');
    // Accents, one above their rank so that 0x00 can end them; trailing unaccented letters are
    // left out, which keeps the order (texts equal in letters have as many accents).
    std::size_t accented = weights.size();
    while (accented > 0 && weights[accented - 1].accent == 0) --accented;
    for (std::size_t i = 0; i < accented; ++i) out.push_back(static_cast<char>(weights[i].accent + 1));
    out.push_back('\0');
}

bool equalsIgnoringCase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

}  // namespace zestrel::jet
