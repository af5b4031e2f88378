// The Windows window, as the program builds it, on a real display under wine (driven by
// scripts/drive_windows_window_checks.sh, which sets the screen's density): its icon in both
// sizes, a file dropped from the shell (WM_DROPFILES) chosen as Browse chooses one, and every
// caption whole at the screen's density and in the desktop's message font, measured in the font
// each control draws with; and the questions Upgrade asks, in real task dialogs answered by a timer
// that runs inside their message loop.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/sample_cookbook.h"
#include "platform/file_system.h"
#include "store/jet/check/database_check.h"
#include "support/fixtures.h"
#include "window/frm_main.h"
#include "window/layout.h"
#include "window/win32/main_window.h"

namespace zestrel::test {
namespace {

namespace fs = std::filesystem;

std::wstring windowText(HWND control) {
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
    return text;
}

std::wstring statusText(HWND bar) {
    const auto length = LOWORD(::SendMessageW(bar, SB_GETTEXTLENGTHW, 0, 0));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    ::SendMessageW(bar, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text.data()));
    text.resize(length);
    return text;
}

std::wstring className(HWND control) {
    wchar_t name[64] = {};
    ::GetClassNameW(control, name, 64);
    return name;
}

HWND childOfClass(HWND window, const wchar_t* windowClass) {
    return ::FindWindowExW(window, nullptr, windowClass, nullptr);
}

HWND button(HWND window, const wchar_t* caption) { return ::FindWindowExW(window, nullptr, WC_BUTTONW, caption); }

// The size of a text in the font a control draws with; "&" (an access key's mark) not drawn.
SIZE textSize(HWND control, std::wstring text) {
    std::erase(text, L'&');
    const HDC dc = ::GetDC(control);
    const HGDIOBJ before = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    size.cy = std::max<LONG>(size.cy, metrics.tmHeight);
    ::SelectObject(dc, before);
    ::ReleaseDC(control, dc);
    return size;
}

SIZE clientSize(HWND control) {
    RECT client{};
    ::GetClientRect(control, &client);
    return {client.right, client.bottom};
}

// A DROPFILES block of wide paths, as the shell hands one to the window it drops on.
HDROP dropOf(const std::vector<fs::path>& files) {
    std::wstring names;
    for (const fs::path& file : files) names += file.wstring() + L'\0';
    names += L'\0';
    const std::size_t bytes = sizeof(DROPFILES) + names.size() * sizeof(wchar_t);
    const HGLOBAL memory = ::GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(), names.size() * sizeof(wchar_t));
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

void pumpMessages() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}


// Answers the window's task dialogs, one a time, from a thread timer that runs inside each
// dialog's own message loop: the caption of the button to press (without its "&"), and what each
// dialog showed.
struct TaskAnswers {
    std::vector<std::wstring> answers;
    std::vector<std::vector<std::wstring>> buttons;  // each dialog's button captions, in order
    std::vector<std::wstring> texts;                 // each dialog's texts, joined
};
TaskAnswers* answering = nullptr;

struct Shown {
    std::vector<std::wstring> buttons;
    std::vector<HWND> handles;
    std::wstring texts;
};

BOOL CALLBACK collectChild(HWND child, LPARAM into) {
    auto& shown = *reinterpret_cast<Shown*>(into);
    wchar_t kind[64] = {};
    ::GetClassNameW(child, kind, 64);
    std::wstring caption(static_cast<std::size_t>(::GetWindowTextLengthW(child)) + 1, L'\0');
    caption.resize(static_cast<std::size_t>(::GetWindowTextW(child, caption.data(), static_cast<int>(caption.size()))));
    if (_wcsicmp(kind, L"Button") == 0 && ::IsWindowVisible(child)) {
        std::erase(caption, L'&');
        shown.buttons.push_back(caption);
        shown.handles.push_back(child);
    } else {
        shown.texts += caption + L"\n";
    }
    return TRUE;
}

void CALLBACK answerTaskDialog(HWND, UINT, UINT_PTR, DWORD) {
    if (!answering || answering->answers.empty()) return;
    const HWND dialog = ::FindWindowW(L"#32770", L"Zestrel Cookbook Upgrade");
    if (!dialog || !::IsWindowVisible(dialog)) return;
    Shown shown;
    ::EnumChildWindows(dialog, collectChild, reinterpret_cast<LPARAM>(&shown));
    const auto chosen = std::find(shown.buttons.begin(), shown.buttons.end(), answering->answers.front());
    if (chosen == shown.buttons.end()) return;
    answering->buttons.push_back(shown.buttons);
    answering->texts.push_back(shown.texts);
    answering->answers.erase(answering->answers.begin());
    ::PostMessageW(shown.handles[static_cast<std::size_t>(chosen - shown.buttons.begin())], BM_CLICK, 0, 0);
}

class WindowsWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
        ::InitCommonControlsEx(&controls);
    }
    void SetUp() override {
        dir_ = makeTempDir("win32-window");
        ::SetEnvironmentVariableW(L"ZESTREL_PROGRAM_FOLDER", (dir_ / "program").wstring().c_str());
        platform::setProgramFolder(dir_ / "program");  // this test's own, whatever an earlier one chose
        window_ = std::make_unique<win32::MainWindow>(::GetModuleHandleW(nullptr));
        ::ShowWindow(window_->handle(), SW_SHOWNORMAL);
        ::UpdateWindow(window_->handle());
        pumpMessages();
    }
    void TearDown() override {
        window_.reset();
        pumpMessages();
        ::SetEnvironmentVariableW(L"ZESTREL_PROGRAM_FOLDER", nullptr);
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    HWND window() const { return window_->handle(); }

    // A cookbook of layout 1.1 whose copy cuts two values, dropped on the window; then Upgrade,
    // with the task dialogs answered as `answers` says.
    fs::path upgradeAnswering(TaskAnswers& answers, std::string& original) {
        cli::SampleOptions options;
        options.layout = cli::OldLayout::V11;
        options.recipeRows = std::vector<nlohmann::json>{{{"Name", "Soup"}, {"Serving", "12 servings"}, {"rID", "1"}},
                                                         {{"Name", "Stew"}, {"rID", "2"}}};
        options.ingredientRows =
            std::vector<nlohmann::json>{{{"Name", "Salt"}, {"Amt", "a heaped handful of it"}, {"rID", "2"}}};
        const fs::path book = dir_ / L"Zo\u00eb's cookbook.rcp";
        cli::writeSampleCookbook(book, options);
        original = bytesOf(book);
        ::SendMessageW(window(), WM_DROPFILES, reinterpret_cast<WPARAM>(dropOf({book})), 0);
        pumpMessages();
        answering = &answers;
        const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, answerTaskDialog);
        ::SendMessageW(button(window(), L"&Upgrade"), BM_CLICK, 0, 0);
        ::KillTimer(nullptr, timer);
        answering = nullptr;
        pumpMessages();
        return book;
    }
    static std::string bytesOf(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir_;
    std::unique_ptr<win32::MainWindow> window_;
};

// The window and its class carry the program's icon from the executable's resources, the big one
// at the size of the task switcher and the small one at the title bar's, at the window's density.
TEST_F(WindowsWindow, ShowsTheProgramIconInBothSizes) {
    const auto big = reinterpret_cast<HICON>(::SendMessageW(window(), WM_GETICON, ICON_BIG, 0));
    const auto small = reinterpret_cast<HICON>(::SendMessageW(window(), WM_GETICON, ICON_SMALL, 0));
    ASSERT_NE(big, nullptr);
    ASSERT_NE(small, nullptr);
    EXPECT_NE(big, small);
    EXPECT_NE(::GetClassLongPtrW(window(), GCLP_HICON), 0);
    EXPECT_NE(::GetClassLongPtrW(window(), GCLP_HICONSM), 0);
    const auto side = [](HICON icon) {
        ICONINFO info{};
        if (!::GetIconInfo(icon, &info)) return 0L;
        BITMAP bitmap{};
        ::GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
        for (const HBITMAP made : {info.hbmColor, info.hbmMask})
            if (made) ::DeleteObject(made);
        return static_cast<long>(bitmap.bmWidth);
    };
    const UINT dpi = window_->dpi();
    EXPECT_EQ(side(big), ::GetSystemMetricsForDpi(SM_CXICON, dpi));
    EXPECT_EQ(side(small), ::GetSystemMetricsForDpi(SM_CXSMICON, dpi));
}

// A cookbook dropped from the shell is chosen as Browse chooses the dialog's answer: its path in
// the path box, its version in the status text, Upgrade enabled.
TEST_F(WindowsWindow, ADroppedCookbookIsChosenAsBrowseChoosesIt) {
    EXPECT_EQ(::GetWindowLongW(window(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES, WS_EX_ACCEPTFILES);
    cli::SampleOptions options;
    options.layout = cli::OldLayout::V11;
    options.recipes = 3;
    options.ingredientsPerRecipe = 2;
    const fs::path book = dir_ / L"Zo\u00eb's cookbook.rcp";
    cli::writeSampleCookbook(book, options);
    const auto report = jet::check::checkDatabaseFile(book, jet::check::CheckMode::Strict);
    ASSERT_TRUE(report.clean()) << (report.faults.empty() ? "" : report.faults.front());

    const HWND path = childOfClass(window(), WC_EDITW);
    const HWND status = childOfClass(window(), STATUSCLASSNAMEW);
    const HWND upgrade = button(window(), L"&Upgrade");
    ASSERT_TRUE(path && status && upgrade);
    EXPECT_EQ(statusText(status), L"Click on Browse button to select a cookbook.");
    EXPECT_FALSE(::IsWindowEnabled(upgrade));

    ::SendMessageW(window(), WM_DROPFILES, reinterpret_cast<WPARAM>(dropOf({book})), 0);
    pumpMessages();
    EXPECT_EQ(windowText(path), book.wstring());
    EXPECT_EQ(statusText(status), L"Selected cookbook version is 1.1, click Upgrade to start.");
    EXPECT_TRUE(::IsWindowEnabled(upgrade));
    EXPECT_FALSE(window_->form().running());
}

// Upgrade on a cookbook whose copy changes values asks first, in a task dialog with three
// answers; Cancel leaves everything as it was and the cookbook offered again.
TEST_F(WindowsWindow, UpgradeAsksFirstAndCancelChangesNothing) {
    TaskAnswers answers{{L"Cancel"}, {}, {}};
    std::string original;
    const fs::path book = upgradeAnswering(answers, original);
    ASSERT_TRUE(answers.answers.empty()) << "no question was asked";
    EXPECT_EQ(answers.buttons.front(), (std::vector<std::wstring>{L"Show the list", L"Upgrade", L"Cancel"}));
    EXPECT_NE(answers.texts.front().find(L"The new layout will shorten or change 2 values in 2 recipes."),
              std::wstring::npos)
        << std::string(answers.texts.front().begin(), answers.texts.front().end());
    EXPECT_EQ(bytesOf(book), original);
    EXPECT_FALSE(fs::exists(dir_ / "program" / "tempdb.mdb"));
    EXPECT_FALSE(fs::exists(dir_ / "program" / "Backup" / L"Zo\u00eb's cookbook_backup.rcp"));
    EXPECT_TRUE(::IsWindowEnabled(button(window(), L"&Upgrade")));
}

// Upgrade answered: the upgrade runs, and the success box offers the backup's folder.
TEST_F(WindowsWindow, UpgradeAnsweredUpgradesAndTheSuccessBoxOffersTheBackup) {
    TaskAnswers answers{{L"Upgrade", L"OK"}, {}, {}};
    std::string original;
    upgradeAnswering(answers, original);
    ASSERT_TRUE(answers.answers.empty()) << "the success box did not come";
    ASSERT_EQ(answers.buttons.size(), 2u);
    EXPECT_EQ(answers.buttons[1], (std::vector<std::wstring>{L"OK", L"Show the backup"}));
    EXPECT_NE(answers.texts[1].find(L"Upgrade successful!"), std::wstring::npos);
    EXPECT_EQ(bytesOf(dir_ / "program" / "Backup" / L"Zo\u00eb's cookbook_backup.rcp"), original);
    EXPECT_FALSE(fs::exists(dir_ / "program" / "tempdb.mdb"));
}

// Every caption whole at the screen's density (ZESTREL_EXPECTED_DPI, where the driving script set
// one), every control in the desktop's message font: each button's and label's text inside its
// client area, the longest status text inside the status bar, the path box a line high, and the
// window never smaller than the form's table at that density.
TEST_F(WindowsWindow, EveryCaptionIsWholeAtTheScreensDensity) {
    const UINT dpi = window_->dpi();
    if (const char* expected = std::getenv("ZESTREL_EXPECTED_DPI"); expected && *expected) {
        EXPECT_EQ(dpi, static_cast<UINT>(std::atoi(expected)));
    }
    // The desktop's message font at this density (ZESTREL_EXPECTED_FONT_HEIGHT: its height, where
    // the driving script set one), and every control drawn in it.
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    ASSERT_TRUE(::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi));
    if (const char* expected = std::getenv("ZESTREL_EXPECTED_FONT_HEIGHT"); expected && *expected) {
        EXPECT_EQ(metrics.lfMessageFont.lfHeight, std::atoi(expected));
    }
    const SIZE client = clientSize(window());
    EXPECT_GE(client.cx, ::MulDiv(kClientWidthTwips, static_cast<int>(dpi), 1440));
    EXPECT_GE(client.cy, ::MulDiv(kClientHeightTwips, static_cast<int>(dpi), 1440));
    std::cout << "client area " << client.cx << "x" << client.cy << " at " << dpi << " dpi\n";

    int checked = 0;
    for (HWND control = ::GetWindow(window(), GW_CHILD); control; control = ::GetWindow(control, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(control)) continue;
        const std::wstring kind = className(control);
        const SIZE area = clientSize(control);
        RECT placed{};
        ::GetWindowRect(control, &placed);
        ::MapWindowPoints(nullptr, window(), reinterpret_cast<POINT*>(&placed), 2);
        EXPECT_TRUE(placed.left >= 0 && placed.top >= 0 && placed.right <= client.cx && placed.bottom <= client.cy)
            << "a " << std::string(kind.begin(), kind.end()) << " outside the window";
        LOGFONTW font{};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
        EXPECT_EQ(font.lfHeight, metrics.lfMessageFont.lfHeight) << "a " << std::string(kind.begin(), kind.end())
                                                                 << " not in the desktop's message font";
        std::wstring text = windowText(control);
        if (kind == STATUSCLASSNAMEW) text = L"Selected cookbook version is 1.1, click Upgrade to start.";
        if (kind == WC_EDITW) text = L"Ag";
        if (text.empty()) continue;
        const SIZE need = textSize(control, text);
        EXPECT_LE(need.cx, area.cx) << std::string(text.begin(), text.end()) << " is clipped at " << dpi << " dpi";
        EXPECT_LE(need.cy, area.cy) << std::string(text.begin(), text.end()) << " is cut at " << dpi << " dpi";
        ++checked;
    }
    EXPECT_EQ(checked, 6);  // the prompt, the path box, the three buttons and the status bar
}

}  // namespace
}  // namespace zestrel::test
