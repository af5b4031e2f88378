// Whether an amount that became a number is stored with every digit its text wrote. A number
// column of text keeps a single-precision number in at most 7 significant digits ("12345678" is
// stored as "1.234568E+07", which reads as 12345680): such an amount is no lossless conversion,
// and the list of changes names it.
//
// A fraction's quotient is kept as the nearest number of those digits ("1/3" as "0.3333333"),
// which is what it means there; what must survive are the numbers the text wrote: the plain
// number itself, or a mixed number's whole part, numerator and denominator.
#pragma once

#include <string>

namespace zestrel::upgrade {

// `amount` is the text ParseQuantity read as a number, `stored` that number as its column stores it.
bool keepsWrittenDigits(const std::u16string& amount, const std::u16string& stored);

}  // namespace zestrel::upgrade
