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

// Every failure number this program raises, declared here and nowhere else. Two families share
// the range of small numbers and must not be confused: the data-access engine's (3001 and on),
// which every failure of a database carries, and the Basic runtime's (below 100), which file
// operations and the program's own arithmetic raise.
namespace failure {

// The data-access engine's numbers.
inline constexpr std::int32_t kInvalidArgument = 3001;
inline constexpr std::int32_t kTableAlreadyExists = 3010;
inline constexpr std::int32_t kUpdateWithoutAddNewOrEdit = 3020;
inline constexpr std::int32_t kNoCurrentRecord = 3021;
inline constexpr std::int32_t kFileNotFound = 3024;
inline constexpr std::int32_t kCannotUpdate = 3027;        // database or object is read-only
inline constexpr std::int32_t kNotEnoughSpace = 3026;    // the disk, or the most a file may hold
inline constexpr std::int32_t kNotAValidPassword = 3031;
inline constexpr std::int32_t kDiskIoError = 3043;
inline constexpr std::int32_t kNotAValidPath = 3044;
inline constexpr std::int32_t kFileInUse = 3045;           // another run holds the cookbook or the folder
inline constexpr std::int32_t kRecordTooLarge = 3047;
inline constexpr std::int32_t kCannotOpenDatabase = 3049;  // corrupt or damaged file
inline constexpr std::int32_t kCannotOpenFile = 3051;      // no permission, a folder, in use
inline constexpr std::int32_t kTableNotFound = 3078;
inline constexpr std::int32_t kSyntaxError = 3131;
inline constexpr std::int32_t kFieldTooSmall = 3163;
inline constexpr std::int32_t kFieldDefinedTwice = 3191;
inline constexpr std::int32_t kChangedByAnother = 3197;    // another user changed the data
inline constexpr std::int32_t kDatabaseExists = 3204;
inline constexpr std::int32_t kPropertyNotAvailable = 3219;
inline constexpr std::int32_t kOperationNotSupported = 3251;
inline constexpr std::int32_t kInvalidFieldType = 3259;
inline constexpr std::int32_t kNoFieldDefined = 3264;
inline constexpr std::int32_t kItemNotFound = 3265;
inline constexpr std::int32_t kZeroLengthNotAllowed = 3315;
inline constexpr std::int32_t kUnrecognizedFormat = 3343;
inline constexpr std::int32_t kNumericOverflow = 3349;
inline constexpr std::int32_t kDatabaseClosed = 3420;      // object invalid or no longer set
inline constexpr std::int32_t kConversionError = 3421;

// The Basic runtime's numbers, with the runtime's own texts.
namespace runtime {
inline constexpr std::int32_t kInvalidProcedureCall = 5;   // "Invalid procedure call or argument"
inline constexpr std::int32_t kOverflow = 6;               // "Overflow"
inline constexpr std::int32_t kOutOfMemory = 7;            // "Out of memory"
inline constexpr std::int32_t kDivisionByZero = 11;        // "Division by zero"
inline constexpr std::int32_t kUserInterrupt = 18;         // "User interrupt occurred"
inline constexpr std::int32_t kBadFileName = 52;           // "Bad file name or number"
inline constexpr std::int32_t kFileNotFound = 53;          // "File not found"
inline constexpr std::int32_t kFileAlreadyExists = 58;     // "File already exists"
inline constexpr std::int32_t kPermissionDenied = 70;      // "Permission denied"
inline constexpr std::int32_t kPathFileAccessError = 75;   // "Path/File access error"
inline constexpr std::int32_t kPathNotFound = 76;          // "Path not found"
inline constexpr std::int32_t kObjectNotSet = 91;          // "Object variable or With block variable not set"
inline constexpr std::int32_t kInvalidUseOfNull = 94;      // "Invalid use of Null"
}  // namespace runtime

}  // namespace failure

}  // namespace zestrel
