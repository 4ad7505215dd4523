// The Windows file system as a series asks it.
#include "viewer/series_files.h"

#include <windows.h>

#include "exporter/options/arguments.h"
#include "win/system_error.h"
#include "win/utf.h"

namespace quorlane {

namespace {

uint64_t Join(DWORD high, DWORD low) {
    return (uint64_t(high) << 32) | low;
}

FileStamp StampOf(DWORD sizeHigh, DWORD sizeLow, const FILETIME& written) {
    return {true, Join(sizeHigh, sizeLow), Join(written.dwHighDateTime, written.dwLowDateTime)};
}

PathFacts FactsOf(const std::string& path) {
    PathFacts facts;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (path.empty() || !GetFileAttributesExW(Utf16(path).c_str(), GetFileExInfoStandard, &data))
        return facts;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        facts.kind = PathKind::Folder;
    } else {
        facts.kind = PathKind::File;
        facts.stamp = StampOf(data.nFileSizeHigh, data.nFileSizeLow, data.ftLastWriteTime);
    }
    return facts;
}

bool ListFolder(const std::string& folder, std::vector<FolderEntry>& entries) {
    std::string pattern = folder;
    if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAW found;
    const HANDLE h = FindFirstFileExW(Utf16(pattern).c_str(), FindExInfoBasic, &found,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        FolderEntry entry;
        entry.name = Utf8(name.c_str());
        entry.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!entry.isFolder)
            entry.stamp = StampOf(found.nFileSizeHigh, found.nFileSizeLow, found.ftLastWriteTime);
        entries.push_back(std::move(entry));
    } while (FindNextFileW(h, &found));
    const bool whole = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(h);
    return whole;
}

std::string NameOfFolder(const std::string& folder) {
    const std::wstring wide = Utf16(folder.empty() ? std::string(".") : folder);
    std::wstring full(32768, L'\0');
    const DWORD n = GetFullPathNameW(wide.c_str(), DWORD(full.size()), &full[0], nullptr);
    if (n == 0 || n >= full.size()) return FolderName(folder);
    full.resize(n);
    return FolderName(Utf8(full.c_str()));
}

}  // namespace

SeriesFileSystem WindowsSeriesFileSystem() {
    return {FactsOf, ListFolder, NameOfFolder};
}

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
