#include "store/jet/header_page.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>

namespace zestrel::jet {

namespace {

constexpr std::array<std::uint8_t, 4> kHeaderMaskKey{0xC7, 0xDA, 0x39, 0x6B};

bool startsWith(std::span<const std::uint8_t> bytes, std::size_t offset, const char* text) {
    std::size_t n = std::strlen(text) + 1;  // with its terminating zero
    return bytes.size() >= offset + n && std::memcmp(bytes.data() + offset, text, n) == 0;
}

std::string aceVersionName(std::uint8_t code) {
    switch (code) {
    case 0x02: return "Access 2007 (ACE 12)";
    case 0x03: return "Access 2010 (ACE 14)";
    case 0x04: return "Access 2013 (ACE 15)";
    case 0x05: return "Access 2016 (ACE 16)";
    case 0x06: return "Access 2019 (ACE 17)";
    default: return "Access (ACE, version code " + std::to_string(code) + ")";
    }
}

// The mask Jet 4 lays over the password: the whole part of the creation date, little-endian.
std::array<std::uint8_t, 4> passwordDateMask(double creationDate) {
    std::int32_t whole = 0;
    if (std::isfinite(creationDate) && creationDate > -2147483648.0 && creationDate < 2147483648.0)
        whole = static_cast<std::int32_t>(creationDate);
    const auto bits = static_cast<std::uint32_t>(whole);
    return {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits >> 16),
            static_cast<std::uint8_t>(bits >> 24)};
}

bool passwordPresent(std::span<const std::uint8_t> plain, JetVersion version, double creationDate) {
    const bool jet4 = version == JetVersion::Jet4;
    const std::size_t length = jet4 ? kPasswordLengthJet4 : kPasswordLengthJet3;
    if (plain.size() < kPasswordOffset + length) return false;
    const std::array<std::uint8_t, 4> mask = jet4 ? passwordDateMask(creationDate) : std::array<std::uint8_t, 4>{};
    for (std::size_t i = 0; i < length; ++i)
        if ((plain[kPasswordOffset + i] ^ mask[i % mask.size()]) != 0) return true;
    return false;
}

}  // namespace

FormatVerdict identify(std::span<const std::uint8_t> start) {
    const bool magic = start.size() >= 4 && start[0] == 0x00 && start[1] == 0x01 && start[2] == 0 && start[3] == 0;
    if (!magic || start.size() < kMaskedRegionOffset) return {std::nullopt, "it is not a Jet database"};
    const std::uint8_t code = start[kVersionOffset];
    if (startsWith(start, 4, "Standard ACE DB")) return {std::nullopt, "it is in the " + aceVersionName(code) +
                                                         " format, which this program does not read"};
    if (!startsWith(start, 4, "Standard Jet DB")) return {std::nullopt, "it is not a Jet database"};
    if (code == 0x00) return {JetVersion::Jet3, {}};
    if (code == 0x01) return {JetVersion::Jet4, {}};
    return {std::nullopt, "it is in the " + aceVersionName(code) + " format, which this program does not read"};
}

void rc4(std::span<const std::uint8_t> key, std::span<std::uint8_t> data) {
    std::array<std::uint8_t, 256> s{};
    for (std::size_t i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + s[i] + key[i % key.size()]);
        std::swap(s[i], s[j]);
    }
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    for (auto& byte : data) {
        a = static_cast<std::uint8_t>(a + 1);
        b = static_cast<std::uint8_t>(b + s[a]);
        std::swap(s[a], s[b]);
        byte ^= s[static_cast<std::uint8_t>(s[a] + s[b])];
    }
}

void applyHeaderMask(std::span<std::uint8_t> page, const Format& format) {
    rc4(kHeaderMaskKey, page.subspan(kMaskedRegionOffset, format.maskedRegionLength));
}

std::vector<std::uint8_t> buildJet3HeaderPage() {
    const Format& f = formatFor(JetVersion::Jet3);
    std::vector<std::uint8_t> page(f.pageSize, 0);
    page[1] = 0x01;
    const char* signature = "Standard Jet DB";
    std::copy(signature, signature + std::strlen(signature), page.begin() + 4);
    // The plain masked region as the engine writes it: the pages of the system tables'
    // definitions (2 to 5), the sort order, the code page and a constant the engine keeps.
    const std::uint8_t start[] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x02, 0, 0, 0, 0x03, 0, 0, 0,
                                  0x04, 0,    0,    0,    0x05, 0,    0,    0};
    std::copy(std::begin(start), std::end(start), page.begin() + kMaskedRegionOffset);
    writeU16(page, 0x38, 0x0001);
    writeU16(page, kSortOrderOffsetJet3, 0x0409);
    writeU16(page, kCodePageOffset, 1252);
    writeU16(page, 0x56, 0x251E);
    applyHeaderMask(page, f);
    // A table of 256 counters after the masked region, each starting at 0x0100.
    for (std::size_t at = 0x600; at + 1 < page.size(); at += 2) writeU16(page, at, 0x0100);
    writeU16(page, 0x600, 0x0101);
    writeU16(page, 0x602, 0x0101);
    return page;
}

HeaderInfo readHeader(std::span<const std::uint8_t> page0, const Format& format) {
    std::vector<std::uint8_t> plain(page0.begin(), page0.end());
    applyHeaderMask(plain, format);
    HeaderInfo info{};
    info.version = format.version;
    info.codePage = readU16(plain, kCodePageOffset);
    info.sortOrder = readU16(plain, format.version == JetVersion::Jet3 ? kSortOrderOffsetJet3 : kSortOrderOffsetJet4);
    info.databaseKey = readU32(plain, kDatabaseKeyOffset);
    info.creationDate = std::bit_cast<double>(readU64(plain, kCreationDateOffset));
    info.hasPassword = passwordPresent(plain, format.version, info.creationDate);
    return info;
}

}  // namespace zestrel::jet
