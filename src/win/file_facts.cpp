// File sizes and times, identities, and names as their folders list them.
#include "win/file_facts.h"

#include "win/utf.h"

namespace quorlane {

namespace {

uint64_t Join(DWORD high, DWORD low) {
    return (uint64_t(high) << 32) | low;
}

}  // namespace

std::optional<SizeAndTime> SizeAndTimeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Utf16(path).c_str(), GetFileExInfoStandard, &data))
        return std::nullopt;
    return SizeAndTime{
        Join(data.nFileSizeHigh, data.nFileSizeLow),
        Join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime)};
}

std::optional<PathIdentity> IdentityOf(HANDLE opened) {
    BY_HANDLE_FILE_INFORMATION info;
    if (opened == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(opened, &info))
        return std::nullopt;
    return PathIdentity(info.dwVolumeSerialNumber, Join(info.nFileIndexHigh, info.nFileIndexLow));
}

std::optional<PathIdentity> IdentityOf(const std::string& path) {
    // Opened for no access with every sharing allowed: no writer is in the
    // way, and a folder opens too.
    const HANDLE opened =
        CreateFileW(Utf16(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const std::optional<PathIdentity> identity = IdentityOf(opened);
    if (opened != INVALID_HANDLE_VALUE) CloseHandle(opened);
    return identity;
}

bool ListedUnderName(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
               error != ERROR_NO_MORE_FILES && error != ERROR_INVALID_NAME &&
               error != ERROR_FILENAME_EXCED_RANGE;
    }
    FindClose(search);
    const size_t start = path.find_last_of(L"\\/:") + 1;  // npos + 1 == 0
    return CompareStringOrdinal(found.cFileName, -1, path.c_str() + start, -1, TRUE) == CSTR_EQUAL;
}

bool ThereAsNamed(const std::string& path) {
    const std::wstring name = Utf16(path);
    return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES && ListedUnderName(name);
}

}  // namespace quorlane
