#include "platform/argument_wildcards.h"

#include <algorithm>
#include <windows.h>

namespace zestrel::platform {

namespace {

constexpr std::u16string_view kSeparators = u"\\/:";

bool hasWildcard(std::u16string_view name) { return name.find_first_of(u"*?") != std::u16string_view::npos; }

const wchar_t* w(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

}  // namespace

std::vector<std::u16string> expandedArgument(const std::u16string& argument) {
    const std::size_t folderEnd = argument.find_last_of(kSeparators);
    const std::size_t nameStart = folderEnd == std::u16string::npos ? 0 : folderEnd + 1;
    const std::u16string folder = argument.substr(0, nameStart);
    if (argument.starts_with(u"-") || !hasWildcard(argument.substr(nameStart)) || hasWildcard(folder)) return {argument};
    WIN32_FIND_DATAW found{};
    const HANDLE search = ::FindFirstFileExW(w(argument), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0);
    if (search == INVALID_HANDLE_VALUE) return {argument};
    std::vector<std::u16string> names;
    do {
        const std::u16string name(reinterpret_cast<const char16_t*>(found.cFileName));
        if (name != u"." && name != u"..") names.push_back(folder + name);
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    if (names.empty()) return {argument};
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace zestrel::platform
