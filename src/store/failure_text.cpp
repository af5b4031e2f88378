#include "store/failure_text.h"

#include <cerrno>

#include "platform/form_view.h"
#include "store/jet/text_codec.h"

namespace zestrel {

std::u16string failureText(const Failure& failure) {
    return platform::failureMessage(failure.number(), jet::fromUtf8(failure.description()));
}

Failure fileFailure(const platform::FileError& error) {
    const std::string what = error.what();
    switch (error.errorNumber()) {
    case ENOENT: return Failure(53, "File not found: " + what);
    case EEXIST: return Failure(58, "File already exists: " + what);
    case EACCES:
    case EPERM:
    case EROFS: return Failure(70, "Permission denied: " + what);
    case ENOTDIR: return Failure(76, "Path not found: " + what);
    default: return Failure(75, "Path/File access error: " + what);
    }
}

}  // namespace zestrel
