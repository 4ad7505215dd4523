// A series' questions to the file system, through FindFirstFileExW and
// GetFileAttributesExW.
#include "win/series_file_system.h"

#include <windows.h>

#include "win/utf.h"

namespace quorlane {

namespace {

FileStamp StampOf(DWORD sizeHigh, DWORD sizeLow, const FILETIME& written) {
    FileStamp stamp;
    stamp.exists = true;
    stamp.size = (uint64_t(sizeHigh) << 32) | sizeLow;
    stamp.writeTime = (uint64_t(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    return stamp;
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
    entries.clear();
    std::wstring pattern = Utf16(folder);
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/' &&
        pattern.back() != L':')
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW found;
    const HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                      FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        FolderEntry e;
        e.name = Utf8(name.data(), name.size());
        e.isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (!e.isFolder)
            e.stamp = StampOf(found.nFileSizeHigh, found.nFileSizeLow, found.ftLastWriteTime);
        entries.push_back(std::move(e));
    } while (FindNextFileW(h, &found));
    const bool whole = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(h);
    return whole;
}

std::string NameOfFolder(const std::string& folder) {
    const std::wstring given = Utf16(folder.empty() ? std::string(".") : folder);
    const DWORD n = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
    if (n == 0) return FolderName(folder);
    std::wstring full(n, L'\0');
    const DWORD got = GetFullPathNameW(given.c_str(), n, &full[0], nullptr);
    if (got == 0 || got >= n) return FolderName(folder);
    full.resize(got);
    return FolderName(Utf8(full.data(), full.size()));
}

}  // namespace

SeriesFileSystem SystemSeriesFileSystem() {
    return {FactsOf, ListFolder, NameOfFolder};
}

}  // namespace quorlane
