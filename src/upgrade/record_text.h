// The text of the records the program keeps in its folder and reads back (the run record, the
// record of each backup's cookbook): a first line naming the kind of record, then one line
// "key value" per field, in a fixed order. Every value is escaped: a byte outside the printable
// ASCII range, a space and "%" are written "%XX", so that no byte of a file name can end a line or
// pass for another field. Reading is strict: the kind, every key in its order and nothing more,
// each value well escaped, the last line ended; anything else is no record at all.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zestrel::upgrade::record {

using Fields = std::vector<std::pair<std::string, std::string>>;  // key, value (unescaped)

std::string escape(std::string_view bytes);
std::optional<std::string> unescape(std::string_view escaped);

std::string write(std::string_view kind, const Fields& fields);
// The values of `keys`, in their order, when `text` is a well-formed record of that kind.
std::optional<std::vector<std::string>> read(std::string_view text, std::string_view kind,
                                             const std::vector<std::string_view>& keys);

// A whole number written by write (decimal digits only, with a "-" for a negative one).
std::optional<std::int64_t> number(std::string_view text);
std::optional<std::uint64_t> unsignedNumber(std::string_view text);

// A path as the bytes a record keeps (its native bytes on POSIX, UTF-8 on Windows), and back.
std::string pathBytes(const std::filesystem::path& path);
std::filesystem::path pathFromBytes(const std::string& bytes);

}  // namespace zestrel::upgrade::record
