// What a typed, pasted or dropped text names: a file:// address is the local file at its decoded
// path; an address that names no file here says why; any other text is a path as it is.
#include <gtest/gtest.h>

#include "text/utf8.h"
#include "window/named_path.h"

namespace zestrel {
namespace {

#ifdef _WIN32
constexpr bool kWindows = true;
#else
constexpr bool kWindows = false;
#endif

struct NamedCase {
    const char* name;
    const char* text;  // UTF-8
    const char* path;  // what it names (UTF-8), for this system; nullptr: no file
};

class PathNamedBy : public ::testing::TestWithParam<NamedCase> {};

TEST_P(PathNamedBy, AddressesAreDecodedAndOtherTextsKept) {
    const NamedCase& c = GetParam();
    const NamedPath named = pathNamedBy(text::fromUtf8(c.text));
    if (c.path) {
        EXPECT_EQ(text::toUtf8(named.path), c.path);
        EXPECT_TRUE(named.problem.empty()) << text::toUtf8(named.problem);
    } else {
        EXPECT_TRUE(named.path.empty()) << text::toUtf8(named.path);
        EXPECT_FALSE(named.problem.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PathNamedBy,
    ::testing::Values(
        NamedCase{"plain_path", "/home/ann/Family.rcp", "/home/ann/Family.rcp"},
        NamedCase{"plain_text_with_a_newline", "Soup\nStew", "Soup\nStew"},
        NamedCase{"plain_path_keeps_its_blanks", " /tmp/a.rcp\n", " /tmp/a.rcp\n"},
        NamedCase{"relative_name_with_colon", "file.rcp", "file.rcp"},
        NamedCase{"escaped_blank", "file:///home/ann/Family%20Book.rcp",
                  kWindows ? "\\home\\ann\\Family Book.rcp" : "/home/ann/Family Book.rcp"},
        NamedCase{"scheme_in_capitals", "FILE:///tmp/a.rcp", kWindows ? "\\tmp\\a.rcp" : "/tmp/a.rcp"},
        NamedCase{"line_break_after_a_dragged_address", "file:///tmp/a.rcp\r\n", kWindows ? "\\tmp\\a.rcp" : "/tmp/a.rcp"},
        NamedCase{"localhost", "file://localhost/tmp/a.rcp", kWindows ? "\\tmp\\a.rcp" : "/tmp/a.rcp"},
        NamedCase{"single_slash", "file:/tmp/a.rcp", kWindows ? "\\tmp\\a.rcp" : "/tmp/a.rcp"},
        NamedCase{"escaped_utf8", "file:///tmp/Zo%C3%AB%E2%82%AC.rcp", kWindows ? "\\tmp\\Zoë€.rcp" : "/tmp/Zoë€.rcp"},
        NamedCase{"unescaped_utf8", "file:///tmp/Zoë.rcp", kWindows ? "\\tmp\\Zoë.rcp" : "/tmp/Zoë.rcp"},
        NamedCase{"escaped_newline_is_part_of_the_name", "file:///tmp/a%0Ab.rcp",
                  kWindows ? "\\tmp\\a\nb.rcp" : "/tmp/a\nb.rcp"},
        NamedCase{"escaped_percent_and_hash", "file:///tmp/100%25%23.rcp", kWindows ? "\\tmp\\100%#.rcp" : "/tmp/100%#.rcp"},
        NamedCase{"windows_drive", "file:///C:/Recipes/a%20b.rcp", kWindows ? "C:\\Recipes\\a b.rcp" : "/C:/Recipes/a b.rcp"},
        NamedCase{"another_computer", "file://server/share/a.rcp", kWindows ? "\\\\server\\share\\a.rcp" : nullptr},
        NamedCase{"not_utf8", "file:///tmp/%FF%FE.rcp", nullptr},
        NamedCase{"overlong_slash", "file:///tmp/%C0%AF.rcp", nullptr},
        NamedCase{"nul", "file:///tmp/a%00.rcp", nullptr},
        NamedCase{"broken_escape", "file:///tmp/a%2.rcp", nullptr},
        NamedCase{"escape_at_the_end", "file:///tmp/a%", nullptr},
        NamedCase{"not_hex", "file:///tmp/a%zz.rcp", nullptr},
        NamedCase{"query", "file:///tmp/a.rcp?x=1", nullptr},
        NamedCase{"fragment", "file:///tmp/a.rcp#top", nullptr},
        NamedCase{"no_path", "file://", nullptr},
        NamedCase{"no_path_after_host", "file:relative.rcp", nullptr}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(IsFileUrl, OnlyTheFileScheme) {
    EXPECT_TRUE(isFileUrl(u"file:///a"));
    EXPECT_TRUE(isFileUrl(u" File:///a"));
    EXPECT_FALSE(isFileUrl(u"https://example.org/a.rcp"));
    EXPECT_FALSE(isFileUrl(u"/tmp/file:a"));
    EXPECT_FALSE(isFileUrl(u"fil"));
}

}  // namespace
}  // namespace zestrel
