// An input list's bytes from a file or standard input.
#include "win/list_file.h"

#include <windows.h>

#include <vector>

#include "win/utf.h"

namespace quorlane {

bool ReadListBytes(const std::string& file, const TakeBytes& take) {
    const bool standardInput = file == "-";
    const HANDLE h = standardInput ? GetStdHandle(STD_INPUT_HANDLE)
                                   : CreateFileW(Utf16(file).c_str(), GENERIC_READ,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE || h == nullptr) return false;
    std::vector<char> chunk(65536);
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(h, chunk.data(), DWORD(chunk.size()), &got, nullptr) != 0) && got > 0 &&
           take(chunk.data(), got)) {
    }
    // A pipe whose writer has closed its end is read to its end.
    if (!ok && GetLastError() == ERROR_BROKEN_PIPE) ok = true;
    if (!standardInput) CloseHandle(h);
    return ok;
}

}  // namespace quorlane
