#include "support/reference_readers.h"

#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "support/fixtures.h"
#include "support/process.h"

namespace zestrel::test {

using nlohmann::json;

namespace {

std::string run(const std::vector<std::string>& argv) {
    auto result = runProcess(argv);
    EXPECT_EQ(result.exitCode, 0) << argv[0] << ": " << result.err;
    return result.out;
}

}  // namespace

bool mdbtoolsInstalled() { return programExists("mdb-json"); }
// mdb-reader runs under the Linux Node.js; a Windows build of the tests (under wine) cannot start
// it, so there the referees read the files from the Linux side instead.
bool mdbReaderInstalled() {
#ifdef _WIN32
    return false;
#else
    return std::filesystem::exists(toolsDir() / "node_modules" / "mdb-reader");
#endif
}

std::vector<ColumnSpec> mdbSchema(const std::string& file, const std::string& table) {
    static const std::regex line(R"(^\t\[(.*)\]\t+([A-Za-z_/ 0-9]+?)(?: \((\d+)(?:, \d+)?\))?(?: NOT NULL)?,?\s*$)");
    static const std::map<std::string, std::string> names{
        {"Long Integer", "Long"}, {"Memo/Hyperlink", "Memo"}, {"Replication ID", "GUID"}};
    std::vector<ColumnSpec> columns;
    for (const auto& text : splitLines(run({"mdb-schema", "-T", table, file}))) {
        std::smatch m;
        if (!std::regex_match(text, m, line)) continue;
        std::string type = m[2];
        if (names.count(type)) type = names.at(type);
        columns.push_back({m[1], type, m[3].matched ? std::stol(m[3]) : 0});
    }
    return columns;
}

std::vector<json> mdbJsonRows(const std::string& file, const std::string& table) {
    std::vector<json> rows;
    for (const auto& line : splitLines(run({"mdb-json", "-T", "%Y-%m-%dT%H:%M:%S", file, table}))) {
        try {
            rows.push_back(json::parse(line));
        } catch (const json::parse_error&) {
            rows.push_back(json{{kUnparsable, line.size()}});  // mdb-json cuts values at 64 KB
        }
    }
    return rows;
}

std::map<std::string, bool> mdbPropAllowZeroLength(const std::string& file, const std::string& table) {
    std::map<std::string, bool> result;
    std::string column;
    // mdb-prop fails on a table without a property block: then no column has properties.
    for (const auto& line : splitLines(runProcess({"mdb-prop", file, table}).out)) {
        if (line.rfind("name: ", 0) == 0) column = line.substr(6);
        else if (line.find("AllowZeroLength: ") != std::string::npos) result[column] = line.find(": yes") != std::string::npos;
    }
    return result;
}

std::string mdbVersion(const std::string& file) {
    auto out = run({"mdb-ver", file});
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
}

std::vector<ReaderTable> mdbReaderTables(const std::string& file) {
    const auto result = runProcess({"node", (toolsDir() / "mdb_reader_dump.mjs").string(), file});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::vector<ReaderTable> tables;
    for (const auto& line : splitLines(result.out)) {
        auto item = json::parse(line);
        if (item.contains("table"))
            tables.push_back({item["table"], item.value("error", ""), item.value("columns", json::array()), {}});
        else
            tables.back().rows.push_back(item["row"]);
    }
    return tables;
}

std::string ourTypeName(const std::string& type) {
    static const std::map<std::string, std::string> names{
        {"boolean", "Boolean"}, {"byte", "Byte"}, {"integer", "Integer"}, {"long", "Long"}, {"currency", "Currency"},
        {"float", "Single"}, {"double", "Double"}, {"datetime", "DateTime"}, {"binary", "Binary"}, {"text", "Text"},
        {"ole", "OLE"}, {"memo", "Memo"}, {"repid", "GUID"}, {"numeric", "Numeric"}};
    return names.count(type) ? names.at(type) : type;
}

std::vector<std::string> zestrelDump(const std::string& file, const std::string& table) {
    return splitLines(run({zestrelProgram().string(), "dump", file, table}));
}

}  // namespace zestrel::test
