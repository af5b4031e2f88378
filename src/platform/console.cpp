#include "platform/console.h"

#include <cstdio>
#include <iostream>

#include "text/utf8.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "platform/argument_wildcards.h"
#include <windows.h>
#include <shellapi.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace zestrel::platform {

namespace {

void writeUtf8Line(std::u16string_view line) {
    std::string utf8;
    text::appendUtf8(line, utf8);
    utf8 += '\n';
    std::cerr << utf8;
}

}  // namespace

std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

#ifdef _WIN32

namespace {

std::string toUtf8(const wchar_t* text) {
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<std::size_t>(n - 1), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

}  // namespace

std::vector<std::string> utf8Arguments(int argc, char** argv) {
    int count = 0;
    wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv, argv + argc);
    // The program's name is never expanded; every other argument is, as Windows programs do.
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        if (i == 0) {
            out.push_back(toUtf8(wide[i]));
            continue;
        }
        for (const std::u16string& argument : expandedArgument(reinterpret_cast<const char16_t*>(wide[i])))
            out.push_back(toUtf8(reinterpret_cast<const wchar_t*>(argument.c_str())));
    }
    ::LocalFree(wide);
    return out;
}

bool standardOutputIsTerminal() { return ::_isatty(::_fileno(stdout)) != 0; }
bool standardErrorIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

std::optional<int> standardErrorColumns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) return std::nullopt;
    const int columns = info.srWindow.Right - info.srWindow.Left + 1;
    return columns > 0 ? std::optional(columns) : std::nullopt;
}

void useUtf8Console() {
    ::SetConsoleOutputCP(CP_UTF8);
    // Lines end in LF as on Linux, so that what the program prints is the same text everywhere.
    ::_setmode(::_fileno(stdout), _O_BINARY);
    ::_setmode(::_fileno(stderr), _O_BINARY);
}

void writeErrorLine(std::u16string_view line) {
    const HANDLE console = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (console == nullptr || console == INVALID_HANDLE_VALUE || !::GetConsoleMode(console, &mode)) {
        writeUtf8Line(line);
        return;
    }
    std::cerr.flush();  // what was written before stays before
    std::fflush(stderr);
    std::u16string wide(line);
    wide += u'\n';
    DWORD written = 0;
    ::WriteConsoleW(console, reinterpret_cast<const wchar_t*>(wide.data()), static_cast<DWORD>(wide.size()), &written,
                    nullptr);
}

#else

std::vector<std::string> utf8Arguments(int argc, char** argv) { return std::vector<std::string>(argv, argv + argc); }

bool standardOutputIsTerminal() { return ::isatty(1) == 1; }
bool standardErrorIsTerminal() { return ::isatty(2) == 1; }

std::optional<int> standardErrorColumns() {
    winsize size{};
    if (::ioctl(2, TIOCGWINSZ, &size) != 0 || size.ws_col == 0) return std::nullopt;
    return static_cast<int>(size.ws_col);
}

void useUtf8Console() {}

void writeErrorLine(std::u16string_view line) { writeUtf8Line(line); }

#endif

}  // namespace zestrel::platform
