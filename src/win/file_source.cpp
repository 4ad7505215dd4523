// FileSource on Windows (data/bytesource.h): the file opened through its
// UTF-16 name with every sharing allowed, deleting included, so that a writer
// that replaces or removes a file being read is not refused (the handle goes
// on reading it whole). The other systems' FileSource is data/file_source.cpp.
#include <windows.h>

#include <algorithm>

#include "data/bytesource.h"
#include "win/utf.h"

namespace quorlane {

namespace {

HANDLE HandleOf(std::intptr_t file) {
    return reinterpret_cast<HANDLE>(file);
}

}  // namespace

FileSource::~FileSource() {
    Close();
}

void FileSource::Close() {
    if (file_ == kNoFile) return;
    CloseHandle(HandleOf(file_));
    file_ = kNoFile;
}

bool FileSource::Open(const std::string& path) {
    Close();
    failed_ = false;
    // A folder does not open without FILE_FLAG_BACKUP_SEMANTICS.
    const HANDLE file = CreateFileW(Utf16(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    file_ = reinterpret_cast<std::intptr_t>(file);
    return true;
}

size_t FileSource::Read(char* buf, size_t n) {
    if (file_ == kNoFile || failed_ || n == 0) return 0;
    DWORD got = 0;
    if (ReadFile(HandleOf(file_), buf, DWORD(std::min(n, size_t(1) << 30)), &got, nullptr))
        return got;
    // A pipe whose writer has closed its end has ended, as a file does.
    if (GetLastError() == ERROR_BROKEN_PIPE) return 0;
    failed_ = true;
    return 0;
}

}  // namespace quorlane
