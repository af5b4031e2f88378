// The text a reporting procedure shows for a failure: "<number> - <description>".
#pragma once

#include <string>

#include "platform/file.h"
#include "store/jet/failure.h"

namespace zestrel {

std::u16string failureText(const Failure& failure);

// A file operation's failure with the number the system's users know for it: 53 file not found,
// 58 file already exists, 70 permission denied, 76 path not found, 75 path/file access error.
Failure fileFailure(const platform::FileError& error);

// The failure the exception being handled stands for, for a report point's message box:
// a numbered failure as it is, a file operation's failure as fileFailure gives it, an
// allocation that failed as 7 "Out of memory", any other trouble as 5. Call only inside
// a catch block.
Failure currentFailure();

}  // namespace zestrel
