#include "store/failure_text.h"

#include "platform/form_view.h"
#include "store/jet/text_codec.h"

namespace zestrel {

std::u16string failureText(const Failure& failure) {
    return platform::failureMessage(failure.number(), jet::fromUtf8(failure.description()));
}

}  // namespace zestrel
