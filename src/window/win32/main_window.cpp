#include "window/win32/main_window.h"

#include <algorithm>
#include <commctrl.h>
#include <commdlg.h>
#include <cstdlib>
#include <string>
#include <vector>

#include "window/frm_main.h"
#include "window/layout.h"

namespace zestrel::win32 {

namespace {

constexpr const wchar_t* kClassName = L"ZestrelCookbookUpgrade";

// Control identifiers, one per control of the layout table.
enum ControlId : int { kLabel1 = 101, kTDb, kCmdOpen, kPBar, kLP, kCmdUp, kCmdExit, kSBar };

const wchar_t* w(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

std::wstring wide(const char* utf8) {
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1) ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
    return out;
}

const ControlLayout& layoutOf(const char* name) {
    for (const auto& control : kControls)
        if (std::string(control.name) == name) return control;
    return kControls[0];
}

UINT iconOf(platform::MsgIcon icon) {
    switch (icon) {
    case platform::MsgIcon::Critical: return MB_ICONERROR;
    case platform::MsgIcon::Warning: return MB_ICONWARNING;
    case platform::MsgIcon::Information: return MB_ICONINFORMATION;
    }
    return 0;
}

void enableNow(HWND control, bool enabled) {
    ::EnableWindow(control, enabled);
    ::UpdateWindow(control);
}

UINT systemDpi() {
    const UINT dpi = ::GetDpiForSystem();
    return dpi ? dpi : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace

MainWindow::MainWindow(HINSTANCE instance) : instance_(instance), dpi_(systemDpi()) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = &MainWindow::procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hIconSm = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(1), IMAGE_ICON, ::GetSystemMetrics(SM_CXSMICON),
                                                          ::GetSystemMetrics(SM_CYSMICON), 0));
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kClassName;
    ::RegisterClassExW(&windowClass);

    constexpr DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, pixels(kClientWidthTwips), pixels(kClientHeightTwips)};
    ::AdjustWindowRectExForDpi(&frame, style, FALSE, 0, dpi_);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    window_ = ::CreateWindowExW(0, kClassName, wide(kWindowCaption).c_str(), style,
                                work.left + std::max(0L, (work.right - work.left - width) / 2),
                                work.top + std::max(0L, (work.bottom - work.top - height) / 2), width, height, nullptr,
                                nullptr, instance, this);
    buildControls();
    form_ = std::make_unique<frmMain>(*this);
    form_->Form_Load();
    ::SetFocus(cmdOpen_);
}

MainWindow::~MainWindow() {
    if (window_) ::DestroyWindow(window_);
    if (font_) ::DeleteObject(font_);
}

int MainWindow::pixels(int twips) const { return ::MulDiv(twips, static_cast<int>(dpi_), 1440); }

void MainWindow::buildControls() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi_))
        font_ = ::CreateFontIndirectW(&metrics.lfMessageFont);
    const auto make = [this](const char* name, const wchar_t* windowClass, DWORD style, DWORD extended, int id) {
        const ControlLayout& c = layoutOf(name);
        HWND control = ::CreateWindowExW(extended, windowClass, wide(c.caption).c_str(), WS_CHILD | style, pixels(c.left),
                                         pixels(c.top), pixels(c.width), pixels(c.height), window_,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_ ? font_ : ::GetStockObject(DEFAULT_GUI_FONT)),
                       FALSE);
        return control;
    };
    // Created in the order of the tab indexes: Browse, the path box, Upgrade and Exit take the
    // focus, in that order; the others never do.
    cmdOpen_ = make("cmdOpen", WC_BUTTONW, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, kCmdOpen);
    tDb_ = make("tDb", WC_EDITW, WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, kTDb);
    pBar_ = make("pBar", PROGRESS_CLASSW, 0, 0, kPBar);
    ::SendMessageW(pBar_, PBM_SETRANGE32, 0, 100);
    Label1_ = make("Label1", WC_STATICW, WS_VISIBLE | SS_LEFT, 0, kLabel1);
    LP_ = make("LP", WC_STATICW, WS_VISIBLE | SS_LEFT, 0, kLP);
    cmdUp_ = make("cmdUp", WC_BUTTONW, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED, 0, kCmdUp);
    cmdExit_ = make("cmdExit", WC_BUTTONW, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, kCmdExit);
    // The status bar at its place in the table, with one panel over its whole width.
    sBar_ = make("sBar", STATUSCLASSNAMEW, WS_VISIBLE | CCS_NOPARENTALIGN | CCS_NORESIZE, 0, kSBar);
    int parts[] = {-1};
    ::SendMessageW(sBar_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));
}

bool MainWindow::translate(MSG& message) { return ::IsDialogMessageW(window_, &message) != 0; }

LRESULT CALLBACK MainWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    return self ? self->handle(message, wParam, lParam) : ::DefWindowProcW(window, message, wParam, lParam);
}

LRESULT MainWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        command(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_SETCURSOR:
        if (busy_) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_CTLCOLORSTATIC:  // the labels on the window's own face
        ::SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    case WM_ACTIVATE:  // the control that had the focus gets it back, as in a dialog
        if (LOWORD(wParam) == WA_INACTIVE) {
            const HWND focused = ::GetFocus();
            if (focused && ::GetParent(focused) == window_) lastFocus_ = focused;
        } else {
            ::SetFocus(lastFocus_ && ::IsWindowEnabled(lastFocus_) ? lastFocus_ : cmdOpen_);
        }
        return 0;
    case WM_CLOSE:
        if (form_) {
            form_->Form_Unload();
            if (form_->running()) std::_Exit(0);  // ends the program at once; the cookbook is not touched before the copy ends
        }
        ::DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        window_ = nullptr;
        ::PostQuitMessage(0);
        return 0;
    default: break;
    }
    return ::DefWindowProcW(window_, message, wParam, lParam);
}

void MainWindow::command(int id, int notification) {
    if (id == IDOK) {  // Enter: presses the button that has the focus, as Space does; no default button
        const HWND focused = ::GetFocus();
        for (const HWND button : {cmdOpen_, cmdUp_, cmdExit_})
            if (focused == button && ::IsWindowEnabled(button)) command(::GetDlgCtrlID(button), BN_CLICKED);
        return;
    }
    if (id == kTDb && notification == EN_CHANGE) {
        if (!settingPath_) form_->tDb_Change();
        return;
    }
    if (notification != BN_CLICKED) return;
    switch (id) {
    case kCmdOpen: form_->cmdOpen_Click(); break;
    case kCmdUp: form_->cmdUp_Click(); break;
    case kCmdExit:
        form_->cmdExit_Click();
        ::SendMessageW(window_, WM_CLOSE, 0, 0);
        break;
    default: break;
    }
}

// The upgrade sets a text and goes straight on with work that handles no messages (a pause, the
// creation of a database, the backup): each text is painted now, so that every one is seen.
void MainWindow::setStatusText(const std::u16string& text) {
    ::SendMessageW(sBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(w(text)));
    ::UpdateWindow(sBar_);
}
void MainWindow::setProgressVisible(bool visible) { ::ShowWindow(pBar_, visible ? SW_SHOWNA : SW_HIDE); }
void MainWindow::setProgressValue(int value) { ::SendMessageW(pBar_, PBM_SETPOS, static_cast<WPARAM>(std::clamp(value, 0, 100)), 0); }
void MainWindow::setPercentCaption(const std::u16string& caption) { ::SetWindowTextW(LP_, w(caption)); }
// A button looks as it works from the moment it changes, not from the next time messages run.
void MainWindow::setUpgradeEnabled(bool enabled) { enableNow(cmdUp_, enabled); }
void MainWindow::setExitEnabled(bool enabled) { enableNow(cmdExit_, enabled); }
void MainWindow::setBrowseEnabled(bool enabled) { enableNow(cmdOpen_, enabled); }

void MainWindow::setPathText(const std::u16string& text) {
    settingPath_ = true;
    ::SetWindowTextW(tDb_, w(text));
    settingPath_ = false;
}

std::u16string MainWindow::pathText() const {
    const int length = ::GetWindowTextLengthW(tDb_);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const int n = ::GetWindowTextW(tDb_, buffer.data(), length + 1);
    return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<std::size_t>(std::max(n, 0)));
}

void MainWindow::setPathReadOnly(bool readOnly) { ::SendMessageW(tDb_, EM_SETREADONLY, readOnly, 0); }

void MainWindow::setBusyPointer(bool busy) {
    busy_ = busy;
    ::SetCursor(::LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void MainWindow::messageBox(const std::u16string& text, platform::MsgIcon icon, const std::u16string& title) {
    const std::u16string shownTitle = title.empty() ? std::u16string(platform::kApplicationTitle) : title;
    ::MessageBoxW(window_, w(text), w(shownTitle), MB_OK | iconOf(icon));
}

std::optional<std::u16string> MainWindow::openFile(const platform::OpenFileRequest& request) {
    // "Description\0Pattern\0\0"
    std::u16string filter = request.filterDescription + u'\0' + request.filterPattern + u'\0' + u'\0';
    std::vector<wchar_t> file(32768, L'\0');
    std::copy_n(reinterpret_cast<const wchar_t*>(request.fileName.c_str()), std::min(request.fileName.size(), file.size() - 1),
                file.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = window_;
    dialog.lpstrFilter = w(filter);
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = w(request.title);
    dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!::GetOpenFileNameW(&dialog)) return std::nullopt;
    return std::u16string(reinterpret_cast<const char16_t*>(file.data()));
}

void MainWindow::doEvents() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));  // for the main loop to see
            return;
        }
        if (translate(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

void MainWindow::pause(int milliseconds) { ::Sleep(static_cast<DWORD>(std::max(milliseconds, 0))); }

}  // namespace zestrel::win32
