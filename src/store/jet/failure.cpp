#include "store/jet/failure.h"

namespace zestrel {

Failure::Failure(std::int32_t number, const std::string& description)
    : std::runtime_error(description), number_(number) {}

}  // namespace zestrel
