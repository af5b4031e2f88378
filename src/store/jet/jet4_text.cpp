#include "store/jet/jet4_text.h"

#include <cstring>

namespace zestrel::jet {

namespace {

// Hands each UTF-16 unit of the stored text to `visit` in turn, until it returns false; returns
// whether every unit was visited. Before each unit, `takeBytes` (in a stretch of one-byte
// characters) or `takeUnits` (of two-byte ones) may take a leading run of what is left of the text
// itself, returning how many bytes it took: those units are not visited.
template <class Visit, class TakeBytes, class TakeUnits>
bool forEachUnit(std::span<const std::uint8_t> bytes, Visit visit, TakeBytes takeBytes, TakeUnits takeUnits) {
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        bool compressed = true;
        std::size_t i = 2;
        while (i < bytes.size()) {
            if (bytes[i] == 0x00) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                if (const std::size_t run = takeBytes(bytes.subspan(i))) {
                    i += run;
                    continue;
                }
                if (!visit(static_cast<char16_t>(bytes[i++]))) return false;
            } else if (i + 1 < bytes.size()) {
                if (!visit(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)))) return false;
                i += 2;
            } else {
                break;
            }
        }
        return true;
    }
    for (std::size_t i = 0; i + 1 < bytes.size();) {
        if (const std::size_t run = takeUnits(bytes.subspan(i))) {
            i += run;
            continue;
        }
        if (!visit(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)))) return false;
        i += 2;
    }
    return true;
}

constexpr auto takeNothing = [](std::span<const std::uint8_t>) -> std::size_t { return 0; };

}  // namespace

std::u16string decodeJet4Text(std::span<const std::uint8_t> bytes) {
    std::u16string out;
    out.reserve(bytes.size() / 2);
    forEachUnit(
        bytes,
        [&](char16_t unit) {
            out.push_back(unit);
            return true;
        },
        takeNothing, takeNothing);
    return out;
}

namespace {

std::uint64_t eightBytesAt(const std::uint8_t* at) {
    std::uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// The leading run of one-byte characters below 0x80 (no zero byte, which switches the form), a
// word at a time; returns how many bytes went over.
std::size_t copyAsciiBytes(std::span<const std::uint8_t> in, std::uint8_t*& next) {
    constexpr std::uint64_t kHigh = 0x8080808080808080;
    constexpr std::uint64_t kOnes = 0x0101010101010101;
    std::size_t i = 0;
    for (; i + 8 <= in.size(); i += 8) {
        const std::uint64_t word = eightBytesAt(in.data() + i);
        if ((word & kHigh) != 0 || ((word - kOnes) & ~word & kHigh) != 0) break;
        std::memcpy(next, in.data() + i, 8);
        next += 8;
    }
    return i;
}

// The leading run of two-byte characters below 0x80, four at a time; returns how many bytes went over.
std::size_t copyAsciiUnits(std::span<const std::uint8_t> in, std::uint8_t*& next) {
    // Low bytes may hold 0x00-0x7F, high bytes nothing: a mask read from the bytes 80 FF 80 FF ...
    // is right in either byte order.
    const std::uint8_t pattern[8] = {0x80, 0xFF, 0x80, 0xFF, 0x80, 0xFF, 0x80, 0xFF};
    const std::uint64_t mask = eightBytesAt(pattern);
    std::size_t i = 0;
    for (; i + 8 <= in.size(); i += 8) {
        const std::uint8_t* at = in.data() + i;
        if ((eightBytesAt(at) & mask) != 0) break;
        next[0] = at[0];
        next[1] = at[2];
        next[2] = at[4];
        next[3] = at[6];
        next += 4;
    }
    return i;
}

}  // namespace

// Texts below 0x80, the most of any cookbook's, go over a word at a time.
bool jet4TextInCodePage(std::span<const std::uint8_t> bytes, const text::CodePage& page,
                        std::vector<std::uint8_t>& out) {
    // At most one byte a character: half the plain form, the compressed form less its mark.
    const bool compressed = bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
    out.resize(compressed ? bytes.size() - 2 : bytes.size() / 2);
    std::uint8_t* next = out.data();
    const bool held = forEachUnit(
        bytes, [&](char16_t unit) { return page.storesAsItself(unit, *next++); },
        [&](std::span<const std::uint8_t> rest) { return copyAsciiBytes(rest, next); },
        [&](std::span<const std::uint8_t> rest) { return copyAsciiUnits(rest, next); });
    out.resize(held ? static_cast<std::size_t>(next - out.data()) : 0);
    return held;
}

}  // namespace zestrel::jet
