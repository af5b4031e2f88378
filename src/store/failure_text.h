// The text a reporting procedure shows for a failure: "<number> - <description>".
#pragma once

#include <string>

#include "store/jet/failure.h"

namespace zestrel {

std::u16string failureText(const Failure& failure);

// VB's "Object variable or With block variable not set": a handle used before it holds an object.
inline constexpr std::int32_t kObjectNotSet = 91;

}  // namespace zestrel
