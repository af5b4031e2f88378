#include "support/process.h"

#include "support/fixtures.h"

#include <cstdio>
#include <cstdlib>
#ifdef _WIN32
#include <fstream>
#include <sstream>
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace zestrel::test {

ProcessResult zestrel(std::vector<std::string> args, const std::vector<std::string>& environment) {
    args.insert(args.begin(), zestrelProgram().string());
    return runProcess(args, environment);
}

#ifdef _WIN32

namespace {

std::wstring wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

// One argument quoted as the C runtime splits a command line.
std::wstring quoted(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring::npos) return argument;
    std::wstring out = L"\"";
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

HANDLE captureFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

std::string readAll(HANDLE file) {
    std::string out;
    ::SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    char buffer[65536];
    DWORD n = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
    return out;
}

}  // namespace

// Standard output and error go to temporary files, read when the program has ended.
ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    std::wstring commandLine;
    for (const auto& argument : argv) commandLine += (commandLine.empty() ? L"" : L" ") + quoted(wide(argument));
    wchar_t folder[MAX_PATH];
    ::GetTempPathW(MAX_PATH, folder);
    static int serial = 0;
    const std::wstring base = std::wstring(folder) + L"zestrel-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++serial);
    HANDLE out = captureFile(base + L".out");
    HANDLE err = captureFile(base + L".err");
    std::vector<std::pair<std::wstring, std::wstring>> saved;
    for (const auto& entry : environment) {
        const std::wstring w = wide(entry);
        const auto eq = w.find(L'=');
        const std::wstring name = w.substr(0, eq);
        wchar_t old[32768];
        const DWORD n = ::GetEnvironmentVariableW(name.c_str(), old, 32768);
        saved.emplace_back(name, n ? std::wstring(old, n) : std::wstring(L"\x01"));
        ::SetEnvironmentVariableW(name.c_str(), w.substr(eq + 1).c_str());
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    ProcessResult result;
    if (::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        ::WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        ::GetExitCodeProcess(process.hProcess, &code);
        result.exitCode = code == kKilledExitCode ? -1 : static_cast<int>(code);
        ::CloseHandle(process.hProcess);
        ::CloseHandle(process.hThread);
    }
    for (const auto& [name, value] : saved)
        ::SetEnvironmentVariableW(name.c_str(), value == L"\x01" ? nullptr : value.c_str());
    result.out = readAll(out);
    result.err = readAll(err);
    ::CloseHandle(out);
    ::CloseHandle(err);
    return result;
}

bool programExists(const std::string& name) {
    wchar_t found[MAX_PATH];
    return ::SearchPathW(nullptr, wide(name).c_str(), L".exe", MAX_PATH, found, nullptr) > 0;
}

#else

ProcessResult runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        for (const auto& entry : environment) putenv(const_cast<char*>(entry.c_str()));
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    ProcessResult result;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

ProcessResult runOnTerminal(const std::vector<std::string>& argv) {
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid < 0) return {};
    if (pid == 0) {
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    ProcessResult result;
    char buffer[65536];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) result.out.append(buffer, static_cast<std::size_t>(n));
    close(terminal);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

bool programExists(const std::string& name) {
    return runProcess({"sh", "-c", "command -v " + name}).exitCode == 0;
}

#endif

std::vector<std::string> terminalScreen(const std::string& out) {
    std::vector<std::string> lines{""};
    std::size_t column = 0;
    for (const char c : out) {
        if (c == '\r') {
            column = 0;
        } else if (c == '\n') {
            lines.emplace_back();
            column = 0;
        } else {
            std::string& line = lines.back();
            if (line.size() <= column) line.resize(column + 1, ' ');
            line[column++] = c;
        }
    }
    for (auto& line : lines) line.erase(line.find_last_not_of(' ') + 1);
    if (lines.back().empty()) lines.pop_back();
    return lines;
}

}  // namespace zestrel::test
