#include "support/row_compare.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cctype>
#include <cmath>
#include <ctime>
#include <sstream>

#include "support/fixtures.h"
#include "support/process.h"

namespace zestrel::test {

using nlohmann::json;

namespace {

std::string differs(const ColumnSpec& c, const json& ours, const json& theirs) {
    return "column " + c.name + " (" + c.type + "): ours " + ours.dump().substr(0, 200) + ", theirs " +
           theirs.dump().substr(0, 200);
}

bool numbersAgree(double a, double b, const std::string& type) {
    const double tolerance = type == "Single" ? 1e-6 : 1e-12;
    return std::fabs(a - b) <= tolerance * std::max(1.0, std::fabs(a));
}

double asNumber(const json& v) {
    if (v.is_number()) return v.get<double>();
    if (v.is_boolean()) return v.get<bool>() ? 1 : 0;
    if (v.is_string()) return std::stod(v.get<std::string>());
    return std::nan("");
}

std::string cutAtZero(const std::string& text) { return text.substr(0, text.find('\0')); }

std::vector<unsigned char> cutAtZero(std::vector<unsigned char> bytes) {
    bytes.erase(std::find(bytes.begin(), bytes.end(), 0), bytes.end());
    return bytes;
}

// A GUID's hex digits only, lower case (mdbtools leaves out the last hyphen, mdb-reader the braces).
std::string guidDigits(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c == '{' || c == '}' || c == '-'; }), s.end());
    return s;
}

// Seconds since 1970 of "YYYY-MM-DDTHH:MM:SS".
double epochSeconds(const std::string& text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d", &year, &month, &day, &hour, &minute, &second) != 6)
        return std::nan("");
    const std::chrono::sys_days date{std::chrono::year(year) / month / day};
    return static_cast<double>(date.time_since_epoch() / std::chrono::seconds(1)) + hour * 3600.0 + minute * 60.0 + second;
}

// mdbtools hands over texts and binary values as C strings: what follows a zero
// byte is lost, and a value that starts with one comes out as no value at all.
bool mdbtoolsShowsAsNull(const json& ours, const std::string& type) {
    if (!ours.is_string()) return false;
    if ((type == "Text" || type == "Memo") && ours.get<std::string>().empty()) return true;  // empty looks like none
    if (type == "Text" || type == "Memo") return ours.get<std::string>().rfind(std::string(1, '\0'), 0) == 0;
    return false;
}

// mdbtools shows a binary value that starts with a zero byte as no value at all.
bool mdbtoolsShowsBinaryAsNull(const json& ours, const std::string& type) {
    if (!ours.is_object() || !(type == "Binary" || type == "OLE")) return false;
    const auto bytes = base64Decode(ours.at("$binary").get<std::string>());
    return !bytes.empty() && bytes.front() == 0;
}

bool isBinaryType(const std::string& type) { return type == "Binary" || type == "OLE" || type.rfind("Unknown", 0) == 0; }
bool isNumberType(const std::string& type) {
    return type == "Byte" || type == "Integer" || type == "Long" || type == "Single" || type == "Double" ||
           type == "Currency" || type == "Numeric";
}

}  // namespace

std::vector<ColumnSpec> zestrelSchema(const std::string& file, const std::string& table) {
    std::vector<ColumnSpec> columns;
    const auto result = runProcess({zestrelProgram().string(), "schema", file, table});
    for (const auto& line : splitLines(result.out)) {
        std::istringstream fields(line);
        std::string tableName, name, type, size;
        std::getline(fields, tableName, '\t');
        std::getline(fields, name, '\t');
        std::getline(fields, type, '\t');
        std::getline(fields, size, '\t');
        columns.push_back({name, type, std::stol(size)});
    }
    return columns;
}

std::vector<unsigned char> base64Decode(const std::string& text) {
    static const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<unsigned char> out;
    unsigned buffer = 0;
    int bits = 0;
    for (char c : text) {
        const auto at = alphabet.find(c);
        if (at == std::string::npos) continue;
        buffer = (buffer << 6) | static_cast<unsigned>(at);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<unsigned char>((buffer >> bits) & 0xFF));
        }
    }
    return out;
}

std::string compareWithMdbJson(const json& ours, const json& theirs, const std::vector<ColumnSpec>& columns) {
    for (const auto& c : columns) {
        const json& a = ours.at(c.name);
        const json b = theirs.contains(c.name) ? theirs.at(c.name) : json();
        if (c.type.rfind("Unknown", 0) == 0) continue;  // mdbtools cannot convert these
        if (b.is_null() && (mdbtoolsShowsAsNull(a, c.type) || mdbtoolsShowsBinaryAsNull(a, c.type))) continue;
        if (a.is_null() || b.is_null()) {
            if (a.is_null() != b.is_null()) return differs(c, a, b);
        } else if (c.type == "Boolean") {
            if ((a.get<bool>() ? 1 : 0) != b.get<int>()) return differs(c, a, b);
        } else if (isNumberType(c.type)) {
            if (!numbersAgree(asNumber(a), asNumber(b), c.type)) return differs(c, a, b);
        } else if (c.type == "GUID") {
            const auto text = base64Decode(b.at("$binary").get<std::string>());
            if (guidDigits(std::string(text.begin(), text.end())) != guidDigits(a.get<std::string>()))
                return differs(c, a, b);
        } else if (isBinaryType(c.type)) {
            const auto mine = base64Decode(a.at("$binary").get<std::string>());
            const auto other = base64Decode(b.at("$binary").get<std::string>());
            if (mine != other && cutAtZero(mine) != other) return differs(c, a, b);
        } else if (cutAtZero(a.get<std::string>()) != b.get<std::string>()) {
            return differs(c, a, b);
        }
    }
    return {};
}

std::string compareWithMdbReader(const json& ours, const json& theirs, const std::vector<ColumnSpec>& columns) {
    for (const auto& c : columns) {
        const json& a = ours.at(c.name);
        const json b = theirs.contains(c.name) ? theirs.at(c.name) : json();
        if (a.is_null() || b.is_null()) {
            if (a.is_null() != b.is_null()) return differs(c, a, b);
        } else if (c.type == "Boolean") {
            if (a != b) return differs(c, a, b);
        } else if (isNumberType(c.type)) {
            if (!numbersAgree(asNumber(a), asNumber(b), c.type)) return differs(c, a, b);
        } else if (c.type == "GUID") {
            if (guidDigits(a.get<std::string>()) != guidDigits(b.get<std::string>())) return differs(c, a, b);
        } else if (c.type == "DateTime") {
            const double seconds = b.at("ms").get<double>() / 1000.0;
            if (!(std::fabs(epochSeconds(a.get<std::string>()) - seconds) <= 0.501)) return differs(c, a, b);
        } else if (a != b) {
            return differs(c, a, b);
        }
    }
    return {};
}

}  // namespace zestrel::test
