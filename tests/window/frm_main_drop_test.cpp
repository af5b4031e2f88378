// A cookbook dropped on the window or pasted as a file:// address: taken as Browse takes the
// dialog's answer, with the same checks, status text and warnings; anything that names no single
// local file is refused with a warning and changes nothing.
#include <cctype>
#include <fstream>
#include <optional>
#include <string_view>

#include "store/jet/check/database_check.h"
#include "text/utf8.h"
#include "upgrade/upgrade_support.h"
#include "window/frm_main.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;
using cli::OldLayout;

// The file:// address of a path, every byte outside the unreserved set escaped, as file managers
// write them.
std::u16string fileUrl(const fs::path& path) {
    std::string generic = text::toUtf8(path.generic_u16string());
    if (!generic.empty() && generic[0] != '/') generic.insert(0, "/");  // C:/x becomes /C:/x
    std::string url = "file://";
    static const char* hex = "0123456789ABCDEF";
    for (const unsigned char c : generic) {
        if (std::isalnum(c) || std::string_view("/-._~:").find(static_cast<char>(c)) != std::string_view::npos) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return text::fromUtf8(url);
}

// Upgraded and sound by the strict structural check.
void expectUpgradedAndSound(const fs::path& path, std::size_t recipes, std::size_t ingredients) {
    EXPECT_TRUE(isCompleteUpgrade(path, recipes, ingredients));
    const auto report = jet::check::checkDatabaseFile(path, jet::check::CheckMode::Strict);
    EXPECT_TRUE(report.clean()) << (report.faults.empty() ? "" : report.faults.front());
}

class Dropped : public UpgradeTest {
protected:
    void SetUp() override {
        UpgradeTest::SetUp();
        form_.emplace(view_);
        form_->Form_Load();
    }
    std::optional<frmMain> form_;
};

// What a drop names is chosen as Browse chooses a file: the same path box, status text and state.
TEST_F(Dropped, AFileOrItsAddressIsChosenAsBrowseChoosesIt) {
    const fs::path book = cookbook("Family Book #1 100%.rcp", OldLayout::V11, recipeRows(2), ingredientRows(2));
    for (const std::u16string& dropped : {book.u16string(), fileUrl(book), fileUrl(book) + u"\r\n"}) {
        SCOPED_TRACE(text::toUtf8(dropped));
        view_.path.clear();
        view_.upgradeEnabled = false;
        EXPECT_EQ(form_->cookbookDropped({dropped}), frmMain::Choice::Offered);
        EXPECT_EQ(view_.path, book.u16string());
        EXPECT_EQ(form_->sCookbookPath, book.u16string());
        EXPECT_EQ(view_.status, u"Selected cookbook version is 1.1, click Upgrade to start.");
        EXPECT_TRUE(view_.upgradeEnabled);
    }
    EXPECT_TRUE(view_.messages().empty());
    EXPECT_TRUE(view_.dialogRequests.empty()) << "a drop opened the dialog";
    form_->cmdUp_Click();
    expectUpgradedAndSound(book, 2, 2);
}

// A dropped file is checked as a chosen one: one that is no cookbook gets Browse's warning, named
// as it was dropped (it exists, so no ".rcp" is added).
TEST_F(Dropped, AFileThatIsNoCookbookGetsBrowsesWarning) {
    std::ofstream(dir_ / "notes.txt") << "Soup: water, salt";
    EXPECT_EQ(form_->cookbookDropped({fileUrl(dir_ / "notes.txt")}), frmMain::Choice::NotACookbook);
    const auto messages = view_.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(text::toUtf8(messages[0].text).rfind("\"" + (dir_ / "notes.txt").string() + "\" is not a cookbook", 0),
              0u)
        << text::toUtf8(messages[0].text);
    EXPECT_FALSE(view_.upgradeEnabled);
}

struct RefusedCase {
    const char* name;
    std::vector<std::u16string> items;
};

class RefusedDrop : public Dropped, public ::testing::WithParamInterface<RefusedCase> {};

// Anything but one local file is refused with a warning that quotes it as plain text, and the
// window is as it was: the cookbook chosen before stays chosen.
TEST_P(RefusedDrop, IsWarnedAboutAndChangesNothing) {
    const fs::path book = cookbook("kept.rcp", OldLayout::V10, recipeRows(1), ingredientRows(1));
    view_.dialogAnswers.push_back(book.u16string());
    form_->cmdOpen_Click();
    const std::u16string status = view_.status;
    const std::size_t before = view_.messages().size();
    EXPECT_EQ(form_->cookbookDropped(GetParam().items), frmMain::Choice::NotACookbook);
    const auto messages = view_.messages();
    ASSERT_EQ(messages.size(), before + 1);
    EXPECT_EQ(messages.back().number, static_cast<int>(platform::MsgIcon::Warning));
    if (GetParam().items.size() == 1) {
        EXPECT_EQ(messages.back().text.rfind(u"\"" + GetParam().items[0] + u"\" is not a cookbook that can be upgraded: ", 0), 0u)
            << text::toUtf8(messages.back().text);
    }
    EXPECT_EQ(view_.path, book.u16string());
    EXPECT_EQ(form_->sCookbookPath, book.u16string());
    EXPECT_EQ(view_.status, status);
    EXPECT_TRUE(view_.upgradeEnabled);
}

INSTANTIATE_TEST_SUITE_P(
    Drops, RefusedDrop,
    ::testing::Values(RefusedCase{"two_files", {u"/tmp/a.rcp", u"/tmp/b.rcp"}},
                      RefusedCase{"a_web_address", {u"https://example.org/family.rcp"}},
                      RefusedCase{"a_word", {u"Grandma's soup"}},
                      RefusedCase{"lines_of_text", {u"Soup\n<h1>Stew</h1>\n\x1b]52;c;x\x07"}},
                      RefusedCase{"another_computer", {u"file://server.example/share/a.rcp"}},
                      RefusedCase{"a_name_that_is_not_utf8", {u"file:///tmp/%FF.rcp"}},
                      RefusedCase{"a_nul", {u"file:///tmp/a%00.rcp"}},
                      RefusedCase{"a_broken_escape", {u"file:///tmp/a%G1.rcp"}}),
    [](const auto& param) { return std::string(param.param.name); });

// Nothing dropped while an upgrade runs is taken.
TEST_F(Dropped, NothingIsTakenWhileAnUpgradeRuns) {
    const fs::path book = cookbook("running.rcp", OldLayout::V11, recipeRows(3), ingredientRows(2));
    const fs::path other = cookbook("other.rcp", OldLayout::V11, recipeRows(1), ingredientRows(1));
    view_.dialogAnswers.push_back(book.u16string());
    form_->cmdOpen_Click();
    std::optional<frmMain::Choice> during;
    view_.onYield = [&] {
        if (!during) during = form_->cookbookDropped({other.u16string()});
    };
    form_->cmdUp_Click();
    ASSERT_TRUE(during.has_value());
    EXPECT_EQ(*during, frmMain::Choice::Failed);
    EXPECT_EQ(form_->sCookbookPath, book.u16string());
    expectUpgradedAndSound(book, 3, 2);
    EXPECT_FALSE(fs::exists(program_ / "Backup" / "other_backup.rcp"));
}

// A file:// address typed or pasted into the path box is upgraded as the path it names, and the box
// then shows that path; one that names no local file is refused with a warning.
TEST_F(Dropped, APastedAddressIsReadAsItsPath) {
    const fs::path book = cookbook("pasted book.rcp", OldLayout::V11, recipeRows(2), ingredientRows(1));
    view_.path = fileUrl(book);
    form_->tDb_Change();
    ASSERT_TRUE(view_.upgradeEnabled);
    form_->cmdUp_Click();
    EXPECT_EQ(view_.path, book.u16string());
    EXPECT_EQ(form_->sCookbookPath, book.u16string());
    expectUpgradedAndSound(book, 2, 1);

    view_.path = u"file:///tmp/%FF.rcp";
    form_->tDb_Change();
    form_->cmdUp_Click();
    const auto messages = view_.messages();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back().number, static_cast<int>(platform::MsgIcon::Warning));
    EXPECT_NE(messages.back().text.find(u"not UTF-8"), std::u16string::npos) << text::toUtf8(messages.back().text);
    EXPECT_FALSE(fs::exists(program_ / "tempdb.mdb"));
}

}  // namespace
}  // namespace zestrel::test
