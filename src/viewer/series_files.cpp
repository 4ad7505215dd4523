// What a series asks of Windows beside its file system: an --inputs list read, the memory.
#include "viewer/series_files.h"

#include <windows.h>

#include "exporter/options/arguments.h"
#include "win/system_error.h"
#include "win/utf.h"

namespace quorlane {

std::string ReadPathListFile(const std::string& file, std::vector<std::string>& paths) {
    const HANDLE h =
        CreateFileW(Utf16(file).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return SystemErrorText(HRESULT_FROM_WIN32(GetLastError()));
    InputListReader reader(paths);
    std::vector<char> chunk(65536);
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(h, chunk.data(), DWORD(chunk.size()), &got, nullptr) != 0) && got > 0 &&
           reader.Take(chunk.data(), got)) {
    }
    const std::string why =
        ok ? std::string() : SystemErrorText(HRESULT_FROM_WIN32(GetLastError()));
    CloseHandle(h);
    const std::string refused = reader.End();
    return refused.empty() ? why : refused;
}

uint64_t PhysicalMemoryBytes() {
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

}  // namespace quorlane
