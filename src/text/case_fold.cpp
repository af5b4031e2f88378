#include "text/case_fold.h"

namespace zestrel::text {

namespace {

// Latin Extended-A pairs an upper-case letter with the lower-case one after it; from Ĺ to Ň, and
// from Ź to Ž, the upper-case letter stands at the odd code.
char16_t foldLatinExtendedA(char16_t unit) {
    if (unit == 0x0130 || unit == 0x0131 || unit == 0x0138 || unit == 0x0149 || unit == 0x017F) return unit;
    if (unit == 0x0178) return 0x00FF;  // Ÿ
    const bool upperIsOdd = (unit >= 0x0139 && unit <= 0x0148) || (unit >= 0x0179 && unit <= 0x017E);
    const bool odd = (unit & 1) != 0;
    return upperIsOdd == odd ? static_cast<char16_t>(unit + 1) : unit;
}

char16_t foldGreek(char16_t unit) {
    if (unit >= 0x0391 && unit <= 0x03A9 && unit != 0x03A2) return static_cast<char16_t>(unit + 0x20);
    switch (unit) {
    case 0x0386: return 0x03AC;
    case 0x0388: case 0x0389: case 0x038A: return static_cast<char16_t>(unit + 0x25);
    case 0x038C: return 0x03CC;
    case 0x038E: case 0x038F: return static_cast<char16_t>(unit + 0x3F);
    default: return unit;
    }
}

}  // namespace

char16_t foldCase(char16_t unit) {
    if (unit < 0x80) return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + 0x20) : unit;
    if (unit >= 0xC0 && unit <= 0xDE && unit != 0xD7) return static_cast<char16_t>(unit + 0x20);
    if (unit >= 0x0100 && unit <= 0x017F) return foldLatinExtendedA(unit);
    if (unit >= 0x0386 && unit <= 0x03A9) return foldGreek(unit);
    if (unit >= 0x0410 && unit <= 0x042F) return static_cast<char16_t>(unit + 0x20);
    if (unit >= 0x0400 && unit <= 0x040F) return static_cast<char16_t>(unit + 0x50);
    return unit;
}

std::u16string foldCase(std::u16string text) {
    for (char16_t& unit : text) unit = foldCase(unit);
    return text;
}

}  // namespace zestrel::text
