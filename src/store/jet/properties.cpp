#include "store/jet/properties.h"

#include <cstring>

#include "store/jet/sort_key.h"

namespace zestrel::jet {

namespace {

constexpr std::uint16_t kChunkNames = 0x80;
constexpr std::uint16_t kChunkObject = 0x00;
constexpr std::uint16_t kChunkColumn = 0x01;

std::u16string decodeName(std::span<const std::uint8_t> bytes, const Format& f) {
    if (f.version == JetVersion::Jet3) return codePageOf(f).decode(bytes);
    std::u16string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) out.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
    return out;
}

std::vector<std::u16string> readNames(std::span<const std::uint8_t> chunk, const Format& f) {
    std::vector<std::u16string> names;
    for (std::size_t at = 0; at < chunk.size();) {
        const std::uint16_t length = readU16(chunk, at);
        names.push_back(decodeName(slice(chunk, at + 2, length), f));
        at += 2u + length;
    }
    return names;
}

PropertyGroup readGroup(std::span<const std::uint8_t> chunk, const std::vector<std::u16string>& names,
                        const Format& f) {
    PropertyGroup group;
    const std::uint32_t headerLength = readU32(chunk, 0);
    const std::uint16_t ownerLength = readU16(chunk, 4);
    group.owner = decodeName(slice(chunk, 6, ownerLength), f);
    if (headerLength < 6u + ownerLength) throw CorruptData("a property block has an impossible header");
    for (std::size_t at = headerLength; at < chunk.size();) {
        const std::uint16_t length = readU16(chunk, at);
        if (length < 8) throw CorruptData("a property entry is too short");
        Property p;
        p.ddl = readU8(chunk, at + 2) != 0;
        p.type = readU8(chunk, at + 3);
        const std::uint16_t nameIndex = readU16(chunk, at + 4);
        if (nameIndex >= names.size()) throw CorruptData("a property names a name the block does not have");
        p.name = names[nameIndex];
        const auto value = slice(chunk, at + 8, readU16(chunk, at + 6));
        p.value.assign(value.begin(), value.end());
        group.properties.push_back(std::move(p));
        at += length;
    }
    return group;
}

}  // namespace

std::vector<PropertyGroup> parseProperties(std::span<const std::uint8_t> block, const Format& f) {
    std::vector<PropertyGroup> groups;
    if (block.size() < 4) return groups;
    const char* signature = f.version == JetVersion::Jet3 ? "KKD" : "MR2";
    if (std::memcmp(block.data(), signature, 4) != 0) throw CorruptData("a property block has no signature");
    std::vector<std::u16string> names;
    for (std::size_t at = 4; at < block.size();) {
        const std::uint32_t length = readU32(block, at);
        if (length < 6) throw CorruptData("a property chunk is too short");
        const std::uint16_t type = readU16(block, at + 4);
        const auto chunk = slice(block, at + 6, length - 6);
        if (type == kChunkNames) names = readNames(chunk, f);
        else if (type == kChunkObject || type == kChunkColumn) groups.push_back(readGroup(chunk, names, f));
        at += length;
    }
    return groups;
}

std::vector<std::uint8_t> buildAllowZeroLengthBlock(const std::vector<std::u16string>& columns) {
    if (columns.empty()) return {};
    std::vector<std::uint8_t> block{'K', 'K', 'D', 0};
    auto u16 = [&](std::vector<std::uint8_t>& out, std::size_t v) {
        out.push_back(static_cast<std::uint8_t>(v));
        out.push_back(static_cast<std::uint8_t>(v >> 8));
    };
    auto u32 = [&](std::vector<std::uint8_t>& out, std::size_t v) {
        u16(out, v & 0xFFFF);
        u16(out, v >> 16);
    };
    auto chunk = [&](std::uint16_t type, const std::vector<std::uint8_t>& body) {
        u32(block, body.size() + 6);
        u16(block, type);
        block.insert(block.end(), body.begin(), body.end());
    };
    const std::string propertyName = "AllowZeroLength";
    std::vector<std::uint8_t> names;
    u16(names, propertyName.size());
    names.insert(names.end(), propertyName.begin(), propertyName.end());
    chunk(kChunkNames, names);
    for (const auto& column : columns) {
        std::vector<std::uint8_t> owner;
        text::westernEuropean().appendEncoded(column, owner);
        std::vector<std::uint8_t> body;
        u32(body, 6 + owner.size());
        u16(body, owner.size());
        body.insert(body.end(), owner.begin(), owner.end());
        // One entry: length 9, set through the data-definition language, Boolean, name 0, one byte: true.
        const std::uint8_t entry[] = {9, 0, 1, static_cast<std::uint8_t>(ColumnType::Boolean), 0, 0, 1, 0, 1};
        body.insert(body.end(), std::begin(entry), std::end(entry));
        chunk(kChunkColumn, body);
    }
    return block;
}

std::optional<bool> booleanProperty(const std::vector<PropertyGroup>& groups, const std::u16string& owner,
                                    const std::u16string& name) {
    for (const auto& group : groups) {
        if (!equalsIgnoringCase(group.owner, owner)) continue;
        for (const auto& p : group.properties)
            if (equalsIgnoringCase(p.name, name) && !p.value.empty()) return p.value[0] != 0;
    }
    return std::nullopt;
}

}  // namespace zestrel::jet
