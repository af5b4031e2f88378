// The property block of a catalog row (column LvProp): named properties of the
// object itself and of each of its columns, AllowZeroLength among them.
//
// Layout: a four-byte signature ("KKD\0" in Jet 3, "MR2\0" in Jet 4), then
// chunks, each a 32-bit length and a 16-bit type: the name list (0x80) holds
// every property name once; value chunks (0x00 for the object, 0x01 for a
// column) name their owner and list entries that point into the name list.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "store/jet/format.h"
#include "store/jet/value.h"

namespace zestrel::jet {

struct Property {
    std::u16string name;
    std::uint8_t type = 0;  // a column type code
    bool ddl = false;
    Bytes value;
};

struct PropertyGroup {
    std::u16string owner;  // empty for the object itself, else a column name
    std::vector<Property> properties;
};

std::vector<PropertyGroup> parseProperties(std::span<const std::uint8_t> block, const Format& f);

// A Jet 3 property block that sets AllowZeroLength on the given columns; empty when there are none.
std::vector<std::uint8_t> buildAllowZeroLengthBlock(const std::vector<std::u16string>& columns);

// The Boolean property `name` of `owner`, when the block sets it.
std::optional<bool> booleanProperty(const std::vector<PropertyGroup>& groups, const std::u16string& owner,
                                    const std::u16string& name);

}  // namespace zestrel::jet
