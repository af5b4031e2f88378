// JSON text for the values the command-line program prints: texts as strings,
// whole numbers as integers, Single/Double/Currency/Decimal as numbers,
// Booleans as true/false, Null as null, dates as "YYYY-MM-DDTHH:MM:SS", GUIDs
// as "{...}" in upper case, binary and OLE values as {"$binary": "<base64>"}, as
// mdb-json writes them, so a reader can tell them from texts.
#pragma once

#include <string>

#include "store/jet/value.h"

namespace zestrel::cli {

std::string jsonString(const std::string& utf8);
std::string jsonValue(const jet::Value& value);

// The same texts appended to `out`, for writing many values without a string each.
void appendJsonText(std::string& out, const std::u16string& text);
void appendJsonValue(std::string& out, const jet::Value& value);

}  // namespace zestrel::cli
