// What the command line shows a person: any name (bytes that are no UTF-8, a leading dash) is
// taken, kept byte for byte and shown escaped; control characters of names and values never reach
// the terminal as they are; and one change of the list is always one line.
#include <fstream>

#include <gtest/gtest.h>

#include "cli/shown_text.h"
#include "platform/path_text.h"
#include "support/fixtures.h"
#include "support/process.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;

struct ShownCase {
    const char* label;
    std::string text;
    std::string line;     // as one line
    std::string message;  // as a message of several lines
};

class ShownText : public ::testing::TestWithParam<ShownCase> {};

TEST_P(ShownText, EscapesWhatATerminalWouldObey) {
    EXPECT_EQ(cli::shownLine(GetParam().text), GetParam().line);
    EXPECT_EQ(cli::shownMessage(GetParam().text), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ShownText,
    ::testing::Values(ShownCase{"plain", "caf\xC3\xA9 \xE2\x85\x93 cup", "caf\xC3\xA9 \xE2\x85\x93 cup", "caf\xC3\xA9 \xE2\x85\x93 cup"},
                      ShownCase{"clipboard", "\x1B]52;c;aWQK\x07", "\\x1B]52;c;aWQK\\x07", "\\x1B]52;c;aWQK\\x07"},
                      ShownCase{"c1_csi", "a\xC2\x9B" "2J", "a\\x9B2J", "a\\x9B2J"},
                      ShownCase{"line_break", "one\ntwo\r", "one\\x0Atwo\\x0D", "one\ntwo\\x0D"},
                      ShownCase{"tab_and_del", "a\tb\x7F", "a\tb\\x7F", "a\tb\\x7F"}),
    [](const ::testing::TestParamInfo<ShownCase>& param) { return std::string(param.param.label); });

#ifndef _WIN32

struct NameCase {
    const char* label;
    std::string bytes;
    std::string shown;
};

class NameBytes : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameBytes, ComeBackByteForByteAndAreShownEscaped) {
    const fs::path name(GetParam().bytes);
    const std::u16string text = platform::textOfPath(name);
    EXPECT_EQ(platform::pathOfText(text).native(), GetParam().bytes);
    EXPECT_EQ(platform::shownPath(name), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NameBytes,
    ::testing::Values(NameCase{"utf8", "caf\xC3\xA9 \xF0\x9F\x8D\xB2.rcp", "caf\xC3\xA9 \xF0\x9F\x8D\xB2.rcp"},
                      NameCase{"latin1", "caf\xE9.rcp", "caf\\xE9.rcp"},
                      NameCase{"overlong_slash", "a\xC0\xAF" "b", "a\\xC0\\xAFb"},
                      NameCase{"encoded_surrogate", "\xED\xA0\x80", "\\xED\\xA0\\x80"},
                      NameCase{"cut_sequence", "\xE2\x85", "\\xE2\\x85"},
                      NameCase{"beyond_unicode", "\xF4\x90\x80\x80", "\\xF4\\x90\\x80\\x80"},
                      NameCase{"every_high_byte_alone", "\x80\xBF\xFE\xFF", "\\x80\\xBF\\xFE\\xFF"}),
    [](const ::testing::TestParamInfo<NameCase>& param) { return std::string(param.param.label); });

class ShownNames : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = makeTempDir("shown-names");
        program_ = dir_ / "program";
    }
    void TearDown() override { checkAndRemoveTempDir(dir_); }

    fs::path sample(const std::string& name, const std::string& ingredientRows = {}) {
        std::vector<std::string> args{"sample", "--layout", "1.1", "--recipes", "2"};
        if (!ingredientRows.empty()) {
            std::ofstream(dir_ / "rows.jsonl") << ingredientRows;
            args.insert(args.end(), {"--ingredient-rows", (dir_ / "rows.jsonl").string()});
        }
        args.insert(args.end(), {"--", (dir_ / name).string()});
        const auto made = zestrel(args);
        EXPECT_EQ(made.exitCode, 0) << made.err;
        return dir_ / name;
    }
    fs::path dir_;
    fs::path program_;
};

// Every command takes a Latin-1 name (as from an old USB stick) and a name that starts with a
// dash after "--"; none aborts, and the name is shown with its odd byte escaped.
TEST_F(ShownNames, EveryCommandTakesAnyNameAfterTheOptions) {
    for (const std::string name : {"caf\xE9.rcp", "-dash \x1B[2J.rcp"}) {
        SCOPED_TRACE(platform::shownPath(name));
        const fs::path cookbook = sample(name);
        const std::string path = cookbook.string();
        const std::string folder = program_.string();
        const std::vector<std::vector<std::string>> commands{
            {"version", "--", path},          {"tables", "--", path},
            {"schema", "--", path},           {"dump", "--", path, "Recipe"},
            {"check", "--strict", "--", path}, {"upgrade", "--dry-run", "--program-folder", folder, "--", path},
            {"upgrade", "--program-folder", folder, "--", path},
            {"restore", "--list", "--program-folder", folder, "--", path},
            {"restore", "--program-folder", folder, "--", path}};
        for (const auto& command : commands) {
            const auto run = zestrel(command);
            EXPECT_EQ(run.exitCode, 0) << command.front() << ": " << run.err;
            EXPECT_EQ(run.err.find('\x1B'), std::string::npos) << command.front() << ": " << run.err;
            EXPECT_EQ(run.err.find("terminate"), std::string::npos) << run.err;
        }
        EXPECT_TRUE(fs::exists(program_ / "Backup" / (fs::path(name).stem().string() + "_backup.rcp")));
    }
    const auto listed = zestrel({"restore", "--list", "--program-folder", program_.string(), "--", (dir_ / "caf\xE9.rcp").string()});
    EXPECT_NE(listed.out.find("caf\\xE9_backup.rcp\tof " + dir_.string() + "/caf\\xE9.rcp"), std::string::npos) << listed.out;
}

// A person at a terminal sees a value's control characters escaped, never obeyed: neither the
// cut-off tail of a dry run's list nor a cookbook named with an escape sequence sets the clipboard
// or clears the screen.
TEST_F(ShownNames, ATerminalIsNeverGivenAControlSequence) {
    const fs::path cookbook = sample("\x1B]0;title\x07.rcp", "{\"Amt\": \"12345678901234567890\\u001B]52;c;aWQK\\u0007\\u001B[2Jall good\", \"rID\": 1}\n");
    const auto dry = runOnTerminal({zestrelProgram().string(), "upgrade", "--dry-run", "--program-folder",
                                    program_.string(), cookbook.string()});
    EXPECT_EQ(dry.exitCode, 0) << dry.out;
    EXPECT_NE(dry.out.find("cut off: \"\\x1B]52;c;aWQK\\x07\\x1B[2Jall good\""), std::string::npos) << dry.out;
    EXPECT_NE(dry.out.find("\\x1B]0;title\\x07.rcp"), std::string::npos) << dry.out;
    EXPECT_EQ(dry.out.find('\x1B'), std::string::npos) << dry.out;
    EXPECT_EQ(dry.out.find('\x07'), std::string::npos) << dry.out;
}

#endif

}  // namespace
}  // namespace zestrel::test
