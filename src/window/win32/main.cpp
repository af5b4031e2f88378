// zestrel-upgrade.exe: the window program on Windows. An argument names a cookbook to open at
// start, as if chosen with Browse.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <filesystem>
#include <string>

#include "platform/number_text.h"
#include "window/frm_main.h"
#include "window/win32/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
    zestrel::platform::useUserNumberFormat();

    zestrel::win32::MainWindow window(instance);
    ::ShowWindow(window.handle(), show);
    ::UpdateWindow(window.handle());

    int count = 0;
    if (wchar_t** arguments = ::CommandLineToArgvW(::GetCommandLineW(), &count)) {
        if (count > 1) {
            std::error_code ignored;
            const std::filesystem::path file = std::filesystem::absolute(arguments[1], ignored);
            window.form().chooseCookbook(file.u16string());
        }
        ::LocalFree(arguments);
    }

    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (window.translate(message)) continue;
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}
