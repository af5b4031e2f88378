#include <cerrno>
#include <cstring>

#include "platform/file.h"

namespace zestrel::platform {

namespace {

std::string describe(int errorNumber) {
    if (errorNumber == EBUSY) return "the file is in use by another program";
    if (errorNumber == kNotARegularFile) return "it is not a regular file (a pipe, a device or a socket)";
    if (errorNumber == kReplacedByAnother) return "another program put a different file at this name";
    if (errorNumber == kCutShort)
        return "the file became shorter while it was being read (another program changed it), or a part of it "
               "could not be read from the disk";
    return std::strerror(errorNumber);
}

}  // namespace

FileError::FileError(std::string operation, std::filesystem::path path, int errorNumber)
    : std::runtime_error(operation + " '" + path.string() + "': " + describe(errorNumber)),
      operation_(std::move(operation)), path_(std::move(path)), errorNumber_(errorNumber) {}

}  // namespace zestrel::platform
