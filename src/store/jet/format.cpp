#include "store/jet/format.h"

#include <cstdio>
#include <string>

namespace zestrel::jet {

TruncatedFile::TruncatedFile(std::uint64_t fileBytes, std::uint64_t promisedBytes)
    : CorruptData("it ends at byte " + std::to_string(fileBytes) + " of the " + std::to_string(promisedBytes) +
                  " its header promises"),
      fileBytes_(fileBytes),
      promisedBytes_(promisedBytes) {}

void throwPageBeyondEnd(std::uint64_t fileBytes, std::uint64_t page, std::uint32_t pageSize, const char* what) {
    const std::uint64_t promised = (page + 1) * pageSize;
    if (promised <= kLargestDatabaseBytes) throw TruncatedFile(fileBytes, promised);
    throw CorruptData(what);
}

void throwPastEnd() { throw CorruptData("a structure reaches past the end of its page"); }

namespace {

constexpr Format kJet3{
    .version = JetVersion::Jet3,
    .pageSize = 2048,
    .maskedRegionLength = 126,
    .dataRowCountOffset = 8,
    .dataFreeSpaceOffset = 2,
    .tdefRowCountOffset = 12,
    .tdefTableTypeOffset = 20,
    .tdefMaxColumnsOffset = 21,
    .tdefVariableColumnsOffset = 23,
    .tdefColumnCountOffset = 25,
    .tdefIndexCountOffset = 27,
    .tdefRealIndexCountOffset = 31,
    .tdefUsageMapOffset = 35,
    .tdefFreeMapOffset = 39,
    .tdefColumnsStart = 43,
    .realIndexEntrySize = 8,
    .columnEntrySize = 18,
    .nameLengthSize = 1,
    .colNumberOffset = 1,
    .colVariableOffset = 3,
    .colRowNumberOffset = 5,
    .colPrecisionOffset = 9,
    .colScaleOffset = 10,
    .colFlagsOffset = 13,
    .colFixedOffset = 14,
    .colSizeOffset = 16,
    .realIndexDefinitionSize = 39,
    .realIndexFlagsOffset = 38,
    .logicalIndexSize = 20,
    .rowCountSize = 1,
    .rowOffsetSize = 1,
    .dataPageHeaderSize = 10,
};

constexpr Format kJet4{
    .version = JetVersion::Jet4,
    .pageSize = 4096,
    .maskedRegionLength = 128,
    .dataRowCountOffset = 12,
    .dataFreeSpaceOffset = 2,
    .tdefRowCountOffset = 16,
    .tdefTableTypeOffset = 40,
    .tdefMaxColumnsOffset = 41,
    .tdefVariableColumnsOffset = 43,
    .tdefColumnCountOffset = 45,
    .tdefIndexCountOffset = 47,
    .tdefRealIndexCountOffset = 51,
    .tdefUsageMapOffset = 55,
    .tdefFreeMapOffset = 59,
    .tdefColumnsStart = 63,
    .realIndexEntrySize = 12,
    .columnEntrySize = 25,
    .nameLengthSize = 2,
    .colNumberOffset = 5,
    .colVariableOffset = 7,
    .colRowNumberOffset = 9,
    .colPrecisionOffset = 11,
    .colScaleOffset = 12,
    .colFlagsOffset = 15,
    .colFixedOffset = 21,
    .colSizeOffset = 23,
    .realIndexDefinitionSize = 52,
    .realIndexFlagsOffset = 46,
    .logicalIndexSize = 28,
    .rowCountSize = 2,
    .rowOffsetSize = 2,
    .dataPageHeaderSize = 14,
};

void need(std::span<const std::uint8_t> buffer, std::size_t offset, std::size_t length) {
    if (offset > buffer.size() || length > buffer.size() - offset) throwPastEnd();
}

}  // namespace

const Format& formatFor(JetVersion version) { return version == JetVersion::Jet3 ? kJet3 : kJet4; }

std::string versionName(JetVersion version) { return version == JetVersion::Jet3 ? "Jet 3" : "Jet 4"; }

bool isKnownColumnType(std::uint8_t code) {
    return (code >= 0x01 && code <= 0x0C) || code == 0x0F || code == 0x10;
}

std::string columnTypeName(ColumnType type) {
    switch (type) {
    case ColumnType::Boolean: return "Boolean";
    case ColumnType::Byte: return "Byte";
    case ColumnType::Integer: return "Integer";
    case ColumnType::Long: return "Long";
    case ColumnType::Currency: return "Currency";
    case ColumnType::Single: return "Single";
    case ColumnType::Double: return "Double";
    case ColumnType::DateTime: return "DateTime";
    case ColumnType::Binary: return "Binary";
    case ColumnType::Text: return "Text";
    case ColumnType::OLE: return "OLE";
    case ColumnType::Memo: return "Memo";
    case ColumnType::GUID: return "GUID";
    case ColumnType::Numeric: return "Numeric";
    }
    char text[16];
    std::snprintf(text, sizeof text, "Unknown_%04x", static_cast<unsigned>(type));
    return text;
}

void writeU8(std::span<std::uint8_t> b, std::size_t o, std::uint8_t v) {
    need(b, o, 1);
    b[o] = v;
}
void writeU16(std::span<std::uint8_t> b, std::size_t o, std::uint16_t v) {
    need(b, o, 2);
    b[o] = static_cast<std::uint8_t>(v);
    b[o + 1] = static_cast<std::uint8_t>(v >> 8);
}
void writeU24(std::span<std::uint8_t> b, std::size_t o, std::uint32_t v) {
    need(b, o, 3);
    for (int i = 0; i < 3; ++i) b[o + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void writeU32(std::span<std::uint8_t> b, std::size_t o, std::uint32_t v) {
    need(b, o, 4);
    for (int i = 0; i < 4; ++i) b[o + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void writeU64(std::span<std::uint8_t> b, std::size_t o, std::uint64_t v) {
    writeU32(b, o, static_cast<std::uint32_t>(v));
    writeU32(b, o + 4, static_cast<std::uint32_t>(v >> 32));
}

}  // namespace zestrel::jet
