// Whole lines to standard output and standard error, and the usage error.
#include "exporter/console.h"

#include "win/utf.h"

namespace quorlane {

Console::Console() : out_(GetStdHandle(STD_OUTPUT_HANDLE)), err_(GetStdHandle(STD_ERROR_HANDLE)) {}

void Console::Write(HANDLE handle, const std::string& line) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return;
    const std::string text = line.empty() || line.back() != '\n' ? line + "\n" : line;
    std::lock_guard<std::mutex> lock(mutex_);
    DWORD mode = 0, n = 0;
    if (GetConsoleMode(handle, &mode)) {
        const std::wstring wide = Utf16(text);
        WriteConsoleW(handle, wide.data(), DWORD(wide.size()), &n, nullptr);
    } else {
        WriteFile(handle, text.data(), DWORD(text.size()), &n, nullptr);
    }
}

int UsageError(Console& console, const std::string& message) {
    console.Err(std::string(kExporterCommand) + ": " + message + "\nTry \"" + kExporterCommand +
                " --help\".");
    return 2;
}

}  // namespace quorlane
