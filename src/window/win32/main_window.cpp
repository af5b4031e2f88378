#include "window/win32/main_window.h"

#include <algorithm>
#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <string>
#include <vector>

#include "window/control_texts.h"
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

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_THICKFRAME;

// A caption from the layout table, with its access key.
std::wstring captionOf(const char* name) {
    return wide(withAccessKey(layoutOf(name).caption, controlTexts(name).accessKey).c_str());
}

// The size of a text in a font, its access key's "&" not counted.
SIZE textExtent(HDC dc, std::wstring text) {
    std::erase(text, L'&');
    SIZE size{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICW metrics{};
    ::GetTextMetricsW(dc, &metrics);
    size.cy = std::max<LONG>(size.cy, metrics.tmHeight);
    return size;
}

// The status texts the window itself shows; the longest of them sets the status bar's width.
std::vector<std::wstring> knownStatusTexts() {
    const std::u16string selected = std::u16string(kSelectedPrefix) + u"1.1" + kUpgradeInstruction;
    return {w(kBrowseInstruction), w(selected)};
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

    window_ = ::CreateWindowExW(WS_EX_ACCEPTFILES, kClassName, wide(kWindowCaption).c_str(), kStyle, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    const UINT windowDpi = ::GetDpiForWindow(window_);
    dpi_ = windowDpi ? windowDpi : dpi_;
    buildControls();
    useDpi(dpi_);
    // Centred in the work area, at its smallest size.
    const SIZE frame = frameFor(smallest_.width, smallest_.height);
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ::SetWindowPos(window_, nullptr, work.left + std::max(0L, (work.right - work.left - frame.cx) / 2),
                   work.top + std::max(0L, (work.bottom - work.top - frame.cy) / 2), frame.cx, frame.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    setIcons();
    form_ = std::make_unique<frmMain>(*this);
    form_->Form_Load();
    ::SetFocus(cmdOpen_);
}

MainWindow::~MainWindow() {
    if (window_) ::DestroyWindow(window_);
    if (font_) ::DeleteObject(font_);
    for (const HICON icon : {bigIcon_, smallIcon_})
        if (icon) ::DestroyIcon(icon);
}

// The window's frame around a client area of this size, at the window's density.
SIZE MainWindow::frameFor(int clientWidth, int clientHeight) const {
    RECT frame{0, 0, clientWidth, clientHeight};
    ::AdjustWindowRectExForDpi(&frame, kStyle, FALSE, WS_EX_ACCEPTFILES, dpi_);
    return {frame.right - frame.left, frame.bottom - frame.top};
}

// The program's icon from the executable's resources, at the sizes of the title bar and of the
// task switcher at the window's density.
void MainWindow::setIcons() {
    const auto load = [this](int metric) {
        const int size = ::GetSystemMetricsForDpi(metric, dpi_);
        return static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(1), IMAGE_ICON, size, size, 0));
    };
    for (const HICON icon : {bigIcon_, smallIcon_})
        if (icon) ::DestroyIcon(icon);
    bigIcon_ = load(SM_CXICON);
    smallIcon_ = load(SM_CXSMICON);
    ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
}

// The desktop's message font at this density, and every size measured again in it.
void MainWindow::useDpi(UINT dpi) {
    dpi_ = dpi;
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    HFONT font = nullptr;
    if (::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi_))
        font = ::CreateFontIndirectW(&metrics.lfMessageFont);
    for (const HWND control : {Label1_, tDb_, cmdOpen_, pBar_, LP_, cmdUp_, cmdExit_, sBar_})
        ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font : ::GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    if (font_) ::DeleteObject(font_);
    font_ = font;
    fitToTexts();
}

// What each control's text needs, from its extent in the window's font: a button's caption with
// room for its edges and focus rectangle, a line of text inside the path box's sunken edge, the
// longest status text inside the status bar's borders.
void MainWindow::fitToTexts() {
    const HDC dc = ::GetDC(window_);
    const HGDIOBJ before = ::SelectObject(dc, font_ ? font_ : ::GetStockObject(DEFAULT_GUI_FONT));
    const int pad = ::MulDiv(6, static_cast<int>(dpi_), USER_DEFAULT_SCREEN_DPI);
    const int edge = 2 * ::GetSystemMetricsForDpi(SM_CYEDGE, dpi_);
    const auto text = [dc](const std::wstring& caption) { return textExtent(dc, caption); };
    const auto set = [this](ControlIndex i, LONG width, LONG height) {
        needs_[static_cast<std::size_t>(i)] = {static_cast<int>(width), static_cast<int>(height)};
    };
    const SIZE prompt = text(captionOf("Label1"));
    set(ControlIndex::Label1, prompt.cx, prompt.cy);
    set(ControlIndex::tDb, 0, prompt.cy + edge + pad / 2);
    for (const auto& [index, name] : {std::pair{ControlIndex::cmdOpen, "cmdOpen"}, std::pair{ControlIndex::cmdUp, "cmdUp"},
                                      std::pair{ControlIndex::cmdExit, "cmdExit"}}) {
        const SIZE caption = text(captionOf(name));
        set(index, caption.cx + 2 * pad + edge, caption.cy + pad + edge);
    }
    const SIZE percent = text(L"100%");
    set(ControlIndex::LP, percent.cx, percent.cy);
    LONG status = 0;
    for (const std::wstring& shown : knownStatusTexts()) status = std::max(status, text(shown).cx);
    set(ControlIndex::sBar, status + 2 * pad + edge, prompt.cy + pad + edge);
    ::SelectObject(dc, before);
    ::ReleaseDC(window_, dc);
    smallest_ = fitLayout(needs_, 0, [this](int twips) { return pixels(twips); }).smallest;
    RECT client{};
    ::GetClientRect(window_, &client);
    const int width = std::max<int>(client.right, smallest_.width);
    if (client.right < smallest_.width || client.bottom != smallest_.height) {
        const SIZE frame = frameFor(width, smallest_.height);
        ::SetWindowPos(window_, nullptr, 0, 0, frame.cx, frame.cy, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }
    placeControls(width);
}

void MainWindow::placeControls(int width) {
    const FittedLayout fitted = fitLayout(needs_, width, [this](int twips) { return pixels(twips); });
    const HWND controls[] = {Label1_, tDb_, cmdOpen_, pBar_, LP_, cmdUp_, cmdExit_, sBar_};
    for (std::size_t i = 0; i < kControls.size(); ++i) {
        const Placement& p = fitted.controls[i];
        if (controls[i]) ::MoveWindow(controls[i], p.left, p.top, p.width, p.height, TRUE);
    }
}

// A file dropped from the shell: its paths, taken as Browse takes the dialog's answer.
void MainWindow::dropped(HDROP drop) {
    std::vector<std::u16string> items;
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(::DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
        items.emplace_back(path.begin(), path.end());
    }
    ::DragFinish(drop);
    if (form_) form_->cookbookDropped(items);
}

int MainWindow::pixels(int twips) const { return ::MulDiv(twips, static_cast<int>(dpi_), 1440); }

void MainWindow::buildControls() {
    // Placed once the texts are measured (fitToTexts).
    const auto make = [this](const wchar_t* windowClass, DWORD style, DWORD extended, int id, const std::wstring& text) {
        return ::CreateWindowExW(extended, windowClass, text.c_str(), WS_CHILD | style, 0, 0, 0, 0, window_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    };
    const auto caption = [](const char* name) { return captionOf(name); };
    // Created in the order of the tab indexes: Browse, the path box, Upgrade and Exit take the
    // focus, in that order; the others never do. A screen reader names a control by the static
    // text just before it: the prompt comes before the path box.
    cmdOpen_ = make(WC_BUTTONW, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, kCmdOpen, caption("cmdOpen"));
    Label1_ = make(WC_STATICW, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, kLabel1, caption("Label1"));
    tDb_ = make(WC_EDITW, WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, kTDb, L"");
    // The progress bar's name is its window text, which a progress bar never draws.
    pBar_ = make(PROGRESS_CLASSW, 0, 0, kPBar, wide(controlTexts("pBar").accessibleName));
    ::SendMessageW(pBar_, PBM_SETRANGE32, 0, 100);
    LP_ = make(WC_STATICW, WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, kLP, L"");
    cmdUp_ = make(WC_BUTTONW, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED, 0, kCmdUp, caption("cmdUp"));
    cmdExit_ = make(WC_BUTTONW, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0, kCmdExit, caption("cmdExit"));
    // The status bar at its place in the table, with one panel over its whole width.
    sBar_ = make(STATUSCLASSNAMEW, WS_VISIBLE | CCS_NOPARENTALIGN | CCS_NORESIZE, 0, kSBar, L"");
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
    case WM_SIZE:
        if (wParam != SIZE_MINIMIZED) placeControls(LOWORD(lParam));
        return 0;
    case WM_GETMINMAXINFO: {  // widened, never narrower or lower than the texts need, nor heightened
        if (smallest_.width == 0) break;
        const SIZE frame = frameFor(smallest_.width, smallest_.height);
        auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
        limits->ptMinTrackSize = {frame.cx, frame.cy};
        limits->ptMaxTrackSize.y = frame.cy;
        return 0;
    }
    case WM_DPICHANGED: {  // moved to a screen of another density: its fonts, sizes and icons
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
        useDpi(HIWORD(wParam));
        setIcons();
        return 0;
    }
    case WM_SETTINGCHANGE:  // the desktop's fonts changed
        if (wParam == SPI_SETNONCLIENTMETRICS) useDpi(dpi_);
        break;
    case WM_DROPFILES:
        dropped(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_CLOSE:  // during an upgrade the owner is asked whether to stop it (upgradeClicked closes then)
        if (form_) {
            if (!form_->Form_QueryUnload()) return 0;
            form_->Form_Unload();
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
    if (id == IDCANCEL) {  // Esc: what the window's close control does, also during an upgrade
        ::SendMessageW(window_, WM_CLOSE, 0, 0);
        return;
    }
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
    case kCmdUp: upgradeClicked(); break;
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

// The window closes once a run the owner stopped has been undone.
void MainWindow::upgradeClicked() {
    form_->cmdUp_Click();
    if (form_->closeAfterRun() && window_) ::SendMessageW(window_, WM_CLOSE, 0, 0);
}

// Its text can be copied with Ctrl+C, as every message box's.
void MainWindow::messageBox(const std::u16string& text, platform::MsgIcon icon, const std::u16string& title) {
    const std::u16string shownTitle = title.empty() ? std::u16string(platform::kApplicationTitle) : title;
    ::MessageBoxW(window_, w(text), w(shownTitle), MB_OK | iconOf(icon));
}

namespace {

constexpr int kFirstAnswer = 1000;  // the task dialog's button of the first answer; the others follow

PCWSTR taskIconOf(platform::MsgIcon icon) {
    switch (icon) {
    case platform::MsgIcon::Critical: return TD_ERROR_ICON;
    case platform::MsgIcon::Warning: return TD_WARNING_ICON;
    case platform::MsgIcon::Information: return TD_INFORMATION_ICON;
    }
    return nullptr;
}

// TaskDialogIndirect is in version 6 of the common controls only, which the program's manifest
// asks for; looked up at run time, so that a process without the manifest still starts.
using TaskDialogCall = HRESULT(WINAPI*)(const TASKDIALOGCONFIG*, int*, int*, BOOL*);

TaskDialogCall taskDialog() {
    const HMODULE controls = ::GetModuleHandleW(L"comctl32.dll");
    return controls ? reinterpret_cast<TaskDialogCall>(
                          reinterpret_cast<void*>(::GetProcAddress(controls, "TaskDialogIndirect")))
                    : nullptr;
}

}  // namespace

// A task dialog with one button an answer; Esc and its close control give the cancel answer.
std::size_t MainWindow::questionBox(const platform::Question& question) {
    const TaskDialogCall show = taskDialog();
    std::vector<std::wstring> captions;
    for (const auto& answer : question.answers) captions.push_back(wide(answerCaption(answer).c_str()));
    std::vector<TASKDIALOG_BUTTON> buttons;
    for (std::size_t i = 0; i < captions.size(); ++i)
        buttons.push_back({kFirstAnswer + static_cast<int>(i), captions[i].c_str()});
    TASKDIALOGCONFIG config{};
    config.cbSize = sizeof config;
    config.hwndParent = window_;
    config.hInstance = instance_;
    config.dwFlags = TDF_ALLOW_DIALOG_CANCELLATION;
    const std::u16string title = platform::kApplicationTitle;
    config.pszWindowTitle = w(title);
    config.pszMainIcon = taskIconOf(question.icon);
    config.pszContent = w(question.text);
    config.cButtons = static_cast<UINT>(buttons.size());
    config.pButtons = buttons.data();
    config.nDefaultButton = kFirstAnswer + static_cast<int>(question.defaultAnswer);
    int pressed = IDCANCEL;
    if (!show || FAILED(show(&config, &pressed, nullptr, nullptr))) {
        messageBox(question.text, question.icon, u"");
        return question.cancelAnswer;
    }
    const int answer = pressed - kFirstAnswer;
    return answer >= 0 && static_cast<std::size_t>(answer) < question.answers.size() ? static_cast<std::size_t>(answer)
                                                                                     : question.cancelAnswer;
}

void MainWindow::openWithDesktop(const std::filesystem::path& file) {
    ::ShellExecuteW(window_, L"open", file.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// Explorer opens the folder with the file selected.
void MainWindow::showInFolder(const std::filesystem::path& file) {
    const std::wstring select = L"/select,\"" + file.native() + L"\"";
    ::ShellExecuteW(window_, L"open", L"explorer.exe", select.c_str(), nullptr, SW_SHOWNORMAL);
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
