// Any text as an amount: ParseQuantity never fails and never loses the text:
// its result is the empty text (only for an empty or starred amount), a
// finite single-precision number, or the input unchanged.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "upgrade/parse_quantity.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    const zestrel::dao::Variant result = zestrel::dbFunction::ParseQuantity(text);
    using Kind = zestrel::dao::Variant::Kind;
    if (result.kind() == Kind::Single) {
        if (!std::isfinite(std::get<float>(result.value()))) __builtin_trap();
    } else if (result.kind() == Kind::Text) {
        const std::u16string out = result.toText();
        const bool emptied = out.empty() && (text.empty() || text.find(u'*') != std::u16string::npos);
        if (!emptied && out != text) __builtin_trap();
    } else {
        __builtin_trap();  // nothing else may come back
    }
    return 0;
}
