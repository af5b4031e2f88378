// zestrel-upgrade.exe: the window program on Windows. An argument names a cookbook to open at
// start, as if chosen with Browse. --help and --version answer in a message box (a window program
// has no console); any other argument that starts with "-" is an option it does not know, never
// a file.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/number_text.h"
#include "platform/process_memory.h"
#include "window/frm_main.h"
#include "window/win32/main_window.h"
#include "zestrel_version.h"

namespace {

constexpr const wchar_t* kHelp =
    L"Upgrades a recipe cookbook (.rcp) of layout 1.0 or 1.1 to layout 1.3 in a window, keeping a "
    L"backup of the original.\n"
    L"\n"
    L"Usage: zestrel-upgrade [OPTIONS] [FILE]\n"
    L"\n"
    L"FILE\tA cookbook to open at start, as if chosen with Browse\n"
    L"\n"
    L"Options:\n"
    L"-h, --help\tShow this help and exit\n"
    L"--version\tShow the program's version and exit\n"
    L"\n"
    L"Environment:\n"
    L"ZESTREL_PROGRAM_FOLDER\tThe program's folder, which holds tempdb.mdb during an upgrade and the "
    L"folder Backup with the original of every upgraded cookbook. Without it, the folder of "
    L"zestrel-upgrade.exe, or %LOCALAPPDATA%\\Zestrel when that cannot be written.";

constexpr int kExitUsage = 2;
constexpr const wchar_t* kTitle = L"Zestrel Cookbook Upgrade";

std::wstring versionText() {
    const std::string text = std::string("zestrel-upgrade ") + zestrel::kVersionText;
    return std::wstring(text.begin(), text.end());
}

// What the arguments ask for before any window opens: an exit status when they are answered
// (help, version, a wrong use), otherwise nothing, with the file to open, if one is named.
std::optional<int> answerArguments(const std::vector<std::wstring>& arguments, std::optional<std::wstring>& file) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (argument == L"--help" || argument == L"-h" || argument == L"/?") {
            ::MessageBoxW(nullptr, kHelp, kTitle, MB_OK | MB_ICONINFORMATION);
            return 0;
        }
        if (argument == L"--version") {
            ::MessageBoxW(nullptr, versionText().c_str(), kTitle, MB_OK | MB_ICONINFORMATION);
            return 0;
        }
        std::wstring problem;
        if (argument.size() > 1 && argument[0] == L'-') problem = L"Unknown option '" + argument + L"'.";
        else if (file) problem = L"Only one cookbook can be opened at start.";
        if (!problem.empty()) {
            ::MessageBoxW(nullptr, (problem + L"\n\nRun zestrel-upgrade --help for what it takes.").c_str(), kTitle,
                          MB_OK | MB_ICONWARNING);
            return kExitUsage;
        }
        file = argument;
    }
    return std::nullopt;
}

std::vector<std::wstring> commandLineArguments() {
    std::vector<std::wstring> arguments;
    int count = 0;
    if (wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        arguments.assign(wide, wide + count);
        ::LocalFree(wide);
    }
    return arguments;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    zestrel::platform::shareOneMemoryPool();
    std::optional<std::wstring> file;
    if (const auto answered = answerArguments(commandLineArguments(), file)) return *answered;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    zestrel::platform::useUserNumberFormat();

    zestrel::win32::MainWindow window(instance);
    ::ShowWindow(window.handle(), show);
    ::UpdateWindow(window.handle());

    if (file) {
        std::error_code ignored;
        window.form().chooseCookbook(std::filesystem::absolute(*file, ignored).u16string());
    }

    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window.translate(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
