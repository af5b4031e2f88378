// The numbered failure raised by the engine and the data-access objects.
//
// A failure carries the number users of the data-access engine know for that
// kind of trouble and a description that names the file, table or field
// concerned. Callers show it as "<number> - <description>".
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace zestrel {

class Failure : public std::runtime_error {
public:
    Failure(std::int32_t number, const std::string& description);
    std::int32_t number() const { return number_; }
    std::string description() const { return what(); }

private:
    std::int32_t number_;
};

// The failure numbers this system raises.
namespace failure {
inline constexpr std::int32_t kSyntaxError = 3131;
inline constexpr std::int32_t kItemNotFound = 3265;
inline constexpr std::int32_t kNoCurrentRecord = 3021;
inline constexpr std::int32_t kUpdateWithoutAddNewOrEdit = 3020;
inline constexpr std::int32_t kFileNotFound = 3024;
inline constexpr std::int32_t kTableAlreadyExists = 3010;
inline constexpr std::int32_t kNotAValidPath = 3044;
inline constexpr std::int32_t kCannotOpenDatabase = 3049;  // corrupt or damaged file
inline constexpr std::int32_t kCannotOpenFile = 3051;      // no permission, a folder, in use
inline constexpr std::int32_t kTableNotFound = 3078;
inline constexpr std::int32_t kNotAValidPassword = 3031;
inline constexpr std::int32_t kFieldTooSmall = 3163;
inline constexpr std::int32_t kDatabaseExists = 3204;
inline constexpr std::int32_t kZeroLengthNotAllowed = 3315;
inline constexpr std::int32_t kUnrecognizedFormat = 3343;
inline constexpr std::int32_t kConversionError = 3421;
inline constexpr std::int32_t kCannotUpdate = 3027;        // database or object is read-only
inline constexpr std::int32_t kInvalidArgument = 3001;
inline constexpr std::int32_t kDiskIoError = 3043;
inline constexpr std::int32_t kOperationNotSupported = 3251;
inline constexpr std::int32_t kDatabaseClosed = 3420;      // object invalid or no longer set
}  // namespace failure

}  // namespace zestrel
