// Encodings and constants of the two file formats read here.
//
// Jet 3 (2 KB pages, code-page text) and Jet 4 (4 KB pages, UTF-16 text) lay
// out the same structures at different offsets; every difference the engine
// needs is a field of Format, so the rest of the code never asks which version
// it is reading except through this table. Also the little-endian readers that
// every structure uses, bounds-checked against the buffer they read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>

#include "text/code_page.h"

namespace zestrel::jet {

enum class JetVersion : std::uint8_t { Jet3, Jet4 };

struct Format {
    JetVersion version;
    std::uint32_t pageSize;
    std::uint32_t maskedRegionLength;  // header bytes from 0x18 masked with the fixed key

    // Data pages.
    std::uint32_t dataRowCountOffset;
    std::uint32_t dataFreeSpaceOffset;

    // Table definition pages.
    std::uint32_t tdefRowCountOffset;
    std::uint32_t tdefTableTypeOffset;
    std::uint32_t tdefMaxColumnsOffset;
    std::uint32_t tdefVariableColumnsOffset;
    std::uint32_t tdefColumnCountOffset;
    std::uint32_t tdefIndexCountOffset;
    std::uint32_t tdefRealIndexCountOffset;
    std::uint32_t tdefUsageMapOffset;
    std::uint32_t tdefFreeMapOffset;
    std::uint32_t tdefColumnsStart;
    std::uint32_t realIndexEntrySize;
    std::uint32_t columnEntrySize;
    std::uint32_t nameLengthSize;  // bytes of the length before a column or index name

    // Offsets inside one column entry.
    std::uint32_t colNumberOffset;
    std::uint32_t colVariableOffset;
    std::uint32_t colRowNumberOffset;
    std::uint32_t colPrecisionOffset;
    std::uint32_t colScaleOffset;
    std::uint32_t colFlagsOffset;
    std::uint32_t colFixedOffset;
    std::uint32_t colSizeOffset;

    std::uint32_t realIndexDefinitionSize;  // per physical index, after the names
    // Where a physical index's flags lie in its definition: right after its first page in Jet 3;
    // Jet 4 keeps four more bytes between them (genuine Jet 4 files hold stale bytes at the Jet 3
    // place).
    std::uint32_t realIndexFlagsOffset;
    std::uint32_t logicalIndexSize;

    // Rows.
    std::uint32_t rowCountSize;  // bytes of the column count at a row's start
    std::uint32_t rowOffsetSize; // bytes of one variable-column offset in a row

    // Long-value chunk capacity of one LVAL page row.
    std::uint32_t dataPageHeaderSize;  // bytes before the row offset table

    // The code page Jet 3 text is stored in: the one the file's header names; none for code page 1252.
    const text::CodePage* codePage = nullptr;
};

inline const text::CodePage& codePageOf(const Format& f) {
    return f.codePage ? *f.codePage : text::westernEuropean();
}

const Format& formatFor(JetVersion version);
std::string versionName(JetVersion version);

// Page types (first byte of a page).
inline constexpr std::uint8_t kPageDatabaseHeader = 0x00;
inline constexpr std::uint8_t kPageData = 0x01;
inline constexpr std::uint8_t kPageTableDefinition = 0x02;
inline constexpr std::uint8_t kPageIndexNode = 0x03;
inline constexpr std::uint8_t kPageIndexLeaf = 0x04;
inline constexpr std::uint8_t kPageUsageMap = 0x05;

// Row offset flags on data pages. A slot with kRowNoData holds no row of its own:
// the row was deleted (both flags) or moved to another page, leaving a pointer.
// kRowMovedHere alone marks a row that moved to this page from another.
inline constexpr std::uint16_t kRowMovedHere = 0x8000;
inline constexpr std::uint16_t kRowNoData = 0x4000;
inline constexpr std::uint16_t kRowOffsetMask = 0x1FFF;

// Column type codes as stored in table definitions.
enum class ColumnType : std::uint8_t {
    Boolean = 0x01,
    Byte = 0x02,
    Integer = 0x03,
    Long = 0x04,
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    OLE = 0x0B,
    Memo = 0x0C,
    GUID = 0x0F,
    Numeric = 0x10,
};

bool isKnownColumnType(std::uint8_t code);
std::string columnTypeName(ColumnType type);
// Bytes a fixed-length column of this type occupies; 0 for variable-length types.
constexpr std::uint32_t fixedSizeOf(ColumnType type) {
    switch (type) {
    case ColumnType::Byte: return 1;
    case ColumnType::Integer: return 2;
    case ColumnType::Long:
    case ColumnType::Single: return 4;
    case ColumnType::Currency:
    case ColumnType::Double:
    case ColumnType::DateTime: return 8;
    case ColumnType::GUID: return 16;
    case ColumnType::Numeric: return 17;
    default: return 0;
    }
}
inline bool isLongValue(ColumnType type) { return type == ColumnType::Memo || type == ColumnType::OLE; }

// Column flags.
inline constexpr std::uint8_t kColumnFixed = 0x01;
inline constexpr std::uint8_t kColumnCanBeNull = 0x02;
inline constexpr std::uint8_t kColumnAutoLong = 0x04;

// Little-endian readers and writers; each throws CorruptData when it would pass the buffer's end.
// (The readers are inline: every row and page passes through them.)
inline std::uint8_t readU8(std::span<const std::uint8_t> buffer, std::size_t offset);
inline std::uint16_t readU16(std::span<const std::uint8_t> buffer, std::size_t offset);
inline std::uint32_t readU24(std::span<const std::uint8_t> buffer, std::size_t offset);
inline std::uint32_t readU32(std::span<const std::uint8_t> buffer, std::size_t offset);
inline std::uint64_t readU64(std::span<const std::uint8_t> buffer, std::size_t offset);
inline std::span<const std::uint8_t> slice(std::span<const std::uint8_t> buffer, std::size_t offset, std::size_t length);

void writeU8(std::span<std::uint8_t> buffer, std::size_t offset, std::uint8_t value);
void writeU16(std::span<std::uint8_t> buffer, std::size_t offset, std::uint16_t value);
void writeU24(std::span<std::uint8_t> buffer, std::size_t offset, std::uint32_t value);
void writeU32(std::span<std::uint8_t> buffer, std::size_t offset, std::uint32_t value);
void writeU64(std::span<std::uint8_t> buffer, std::size_t offset, std::uint64_t value);

// A data pointer names a row: page number in the upper three bytes, row number in the lowest.
struct RowPointer {
    std::uint32_t page = 0;
    std::uint8_t row = 0;
    static RowPointer decode(std::uint32_t value) { return {value >> 8, static_cast<std::uint8_t>(value & 0xFF)}; }
    std::uint32_t encode() const { return (page << 8) | row; }
    bool operator==(const RowPointer&) const = default;
};

// Raised by the readers above; the database layer adds the file name.
class CorruptData : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file that ends before a page its own structures name: cut short by a copy that stopped or a
// disk that filled. Named as such, so that the owner is told how much is missing.
class TruncatedFile : public CorruptData {
public:
    TruncatedFile(std::uint64_t fileBytes, std::uint64_t promisedBytes);
    std::uint64_t fileBytes() const { return fileBytes_; }
    std::uint64_t promisedBytes() const { return promisedBytes_; }

private:
    std::uint64_t fileBytes_;
    std::uint64_t promisedBytes_;
};

// The most a database file of any version this program reads may hold (Jet 4's; Jet 3's is half).
inline constexpr std::uint64_t kLargestDatabaseBytes = std::uint64_t{2} << 30;

// Raised for a page past the end of a file of `fileBytes`: a truncation when the page lies within
// what a database of the format can hold, else a pointer that is plain damage.
[[noreturn]] void throwPageBeyondEnd(std::uint64_t fileBytes, std::uint64_t page, std::uint32_t pageSize,
                                     const char* what);

[[noreturn]] void throwPastEnd();

inline bool within(std::span<const std::uint8_t> b, std::size_t o, std::size_t length) {
    return o <= b.size() && length <= b.size() - o;
}
// Read at nearly every step through a row or a page: always inlined, where the compiler would
// otherwise keep some of them as calls.
[[gnu::always_inline]] inline std::uint8_t readU8(std::span<const std::uint8_t> b, std::size_t o) {
    if (!within(b, o, 1)) throwPastEnd();
    return b[o];
}
[[gnu::always_inline]] inline std::uint16_t readU16(std::span<const std::uint8_t> b, std::size_t o) {
    if (!within(b, o, 2)) throwPastEnd();
    return static_cast<std::uint16_t>(b[o] | (b[o + 1] << 8));
}
[[gnu::always_inline]] inline std::uint32_t readU24(std::span<const std::uint8_t> b, std::size_t o) {
    if (!within(b, o, 3)) throwPastEnd();
    return static_cast<std::uint32_t>(b[o]) | (static_cast<std::uint32_t>(b[o + 1]) << 8) |
           (static_cast<std::uint32_t>(b[o + 2]) << 16);
}
[[gnu::always_inline]] inline std::uint32_t readU32(std::span<const std::uint8_t> b, std::size_t o) {
    if (!within(b, o, 4)) throwPastEnd();
    return readU24(b, o) | (static_cast<std::uint32_t>(b[o + 3]) << 24);
}
[[gnu::always_inline]] inline std::uint64_t readU64(std::span<const std::uint8_t> b, std::size_t o) {
    if (!within(b, o, 8)) throwPastEnd();
    return static_cast<std::uint64_t>(readU32(b, o)) | (static_cast<std::uint64_t>(readU32(b, o + 4)) << 32);
}
[[gnu::always_inline]] inline std::span<const std::uint8_t> slice(std::span<const std::uint8_t> b, std::size_t o, std::size_t length) {
    if (!within(b, o, length)) throwPastEnd();
    return b.subspan(o, length);
}

}  // namespace zestrel::jet
