// The database definition page (page 0): which format the file is in and the
// database-wide settings kept in its masked region.
//
// The region from offset 0x18 is masked with a fixed RC4 key; unmask() and
// mask() are the same operation and give the plain bytes. identify() looks at
// the first bytes of a file and names its format, refusing anything that is not
// a Jet 3 or Jet 4 database with the reason.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "store/jet/format.h"

namespace zestrel::jet {

inline constexpr std::size_t kMaskedRegionOffset = 0x18;
inline constexpr std::size_t kVersionOffset = 0x14;
inline constexpr std::size_t kSortOrderOffsetJet3 = 0x3A;
inline constexpr std::size_t kSortOrderOffsetJet4 = 0x6E;
inline constexpr std::size_t kCodePageOffset = 0x3C;
inline constexpr std::size_t kDatabaseKeyOffset = 0x3E;
inline constexpr std::size_t kPasswordOffset = 0x42;
inline constexpr std::size_t kPasswordLengthJet3 = 20;
inline constexpr std::size_t kPasswordLengthJet4 = 40;
inline constexpr std::size_t kCreationDateOffset = 0x72;

struct FormatVerdict {
    std::optional<JetVersion> version;  // set when the file is one we read
    std::string reason;                 // why not, naming the format where it is known
};

// Needs at least the first 0x20 bytes of the file; fewer is "not a database".
FormatVerdict identify(std::span<const std::uint8_t> start);

// Applies the fixed RC4 mask to the masked region of a copy of page 0.
void applyHeaderMask(std::span<std::uint8_t> page, const Format& format);

struct HeaderInfo {
    JetVersion version;
    std::uint16_t codePage;
    std::uint16_t sortOrder;
    std::uint32_t databaseKey;
    double creationDate;
    // Whether the file carries a database password. The password takes 20 bytes (Jet 3) or 40
    // bytes (Jet 4) from 0x42 of the plain region; Jet 4 masks it once more with the whole part
    // of the creation date as a 32-bit number, repeated. All zeros means no password.
    bool hasPassword;
};

HeaderInfo readHeader(std::span<const std::uint8_t> page0, const Format& format);

// Page 0 of a new Jet 3 database: General sort order, code page 1252, no key, no password.
std::vector<std::uint8_t> buildJet3HeaderPage();

// RC4 keystream applied in place.
void rc4(std::span<const std::uint8_t> key, std::span<std::uint8_t> data);

}  // namespace zestrel::jet
