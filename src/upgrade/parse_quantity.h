// ParseQuantity: an amount text of a layout-1.0 ingredient as layout 1.3 keeps it.
//
// An amount marked with "*", and an empty amount, become the empty text. A
// whole or decimal number ("2", "0.5", blanks around it allowed), a fraction
// ("3/4") and a mixed number ("1 1/2", "-1 1/2" is -1.5: the whole part's sign
// is the amount's) become one single-precision number.
// Anything that cannot be evaluated ("1 cup", "1/2 cup", "1/0", "abc") comes
// back unchanged as text, so no amount is ever lost. Numbers are read as the
// user's locale writes them.
#pragma once

#include <string>

#include "store/dao/variant.h"

namespace zestrel::dbFunction {

dao::Variant ParseQuantity(const std::u16string& s);

}  // namespace zestrel::dbFunction
