// What a series asks of Windows beside its file system: an --inputs list read, the memory.
#include "viewer/series_files.h"

#include <windows.h>

#include "common/input_list.h"
#include "win/list_file.h"
#include "win/system_error.h"
#include "win/utf.h"

namespace quorlane {

std::string ReadPathListFile(const std::string& file, std::vector<std::string>& paths) {
    InputListReader reader(paths);
    const bool readable =
        ReadListBytes(file, [&](const char* bytes, size_t n) { return reader.Take(bytes, n); });
    std::string refused = reader.End();
    if (!refused.empty()) return refused;
    return readable ? std::string() : SystemErrorText(HRESULT_FROM_WIN32(GetLastError()));
}

uint64_t PhysicalMemoryBytes() {
    MEMORYSTATUSEX status = {};
    status.dwLength = sizeof status;
    return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

}  // namespace quorlane
