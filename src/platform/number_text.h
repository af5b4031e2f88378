// Text to number as the user's locale writes numbers: blanks around the number,
// an optional sign, digits and at most one decimal separator of the locale
// (LC_NUMERIC; on Windows the C runtime's, taken from the user's locale).
// Nothing else is a number; nor is a value beyond the range of a
// single-precision number.
#pragma once

#include <optional>
#include <string>

namespace zestrel::platform {

std::optional<float> textToSingle(const std::u16string& text);

// The decimal separator of the current locale (LC_NUMERIC).
char16_t decimalSeparator();

// Takes the user's number format (LC_NUMERIC from the environment) for the conversions above
// and for numbers written as text. Both the window program and the command-line program call
// it at start, so that both read and write amounts alike.
void useUserNumberFormat();

}  // namespace zestrel::platform
