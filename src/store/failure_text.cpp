#include "store/failure_text.h"

#include <cerrno>
#include <exception>
#include <new>

#include "platform/form_view.h"
#include "text/utf8.h"

namespace zestrel {

std::u16string failureText(const Failure& failure) {
    return platform::failureMessage(failure.number(), text::fromUtf8(failure.description()));
}

Failure fileFailure(const platform::FileError& error) {
    const std::string what = error.what();
    switch (error.errorNumber()) {
    case ENOENT: return Failure(failure::runtime::kFileNotFound, "File not found: " + what);
    case EEXIST: return Failure(failure::runtime::kFileAlreadyExists, "File already exists: " + what);
    case EACCES:
    case EPERM:
    case EROFS: return Failure(failure::runtime::kPermissionDenied, "Permission denied: " + what);
    case ENOTDIR: return Failure(failure::runtime::kPathNotFound, "Path not found: " + what);
    case EBUSY: return Failure(failure::runtime::kPermissionDenied, "Permission denied: " + what);
    default: return Failure(failure::runtime::kPathFileAccessError, "Path/File access error: " + what);
    }
}

Failure currentFailure() {
    try {
        throw;
    } catch (const Failure& f) {
        return f;
    } catch (const platform::FileError& e) {
        return fileFailure(e);
    } catch (const std::bad_alloc&) {
        return Failure(failure::runtime::kOutOfMemory, "Out of memory");
    } catch (const std::exception& e) {
        return Failure(failure::runtime::kInvalidProcedureCall, std::string("Invalid procedure call or argument: ") + e.what());
    } catch (...) {
        return Failure(failure::runtime::kInvalidProcedureCall, "Invalid procedure call or argument: an unknown failure");
    }
}

}  // namespace zestrel
