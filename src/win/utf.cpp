// UTF-8 and UTF-16 conversions and the UTF-16 command line.
#include "win/utf.h"

#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <cwchar>

namespace quorlane {

std::wstring Utf16(const std::string& utf8) {
    if (utf8.empty()) return std::wstring();
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring out(size_t(n > 0 ? n : 0), L'\0');
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), &out[0], n);
    return out;
}

std::string Utf8(const wchar_t* utf16, size_t count) {
    if (count == 0) return std::string();
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16, int(count), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, utf16, int(count), &out[0], n, nullptr, nullptr);
    return out;
}

std::string Utf8(const wchar_t* utf16) {
    return Utf8(utf16, wcslen(utf16));
}

std::vector<std::string> CommandLineArguments() {
    std::vector<std::string> args;
    // A program with a UTF-16 entry point (wmain, wWinMain) has them split
    // by the C runtime already; splitting them again through the shell
    // would cost the start-up some 35 ms under Wine (docs/performance.md).
    if (__wargv != nullptr) {
        for (int k = 1; k < __argc; ++k) args.push_back(Utf8(__wargv[k]));
        return args;
    }
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr) return args;
    for (int k = 1; k < count; ++k) args.push_back(Utf8(argv[k]));
    LocalFree(argv);
    return args;
}

}  // namespace quorlane
