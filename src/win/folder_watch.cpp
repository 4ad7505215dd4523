// A folder's change notifications through ReadDirectoryChangesW.
#include "win/folder_watch.h"

#include "win/utf.h"

namespace quorlane {

namespace {

// The changes the notifications report: names written, made, removed or
// renamed, and sizes and write times changed.
constexpr DWORD kChanges =
    FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

FolderWatch::FolderWatch(const std::string& folder)
    : folder_(Utf16(folder)), event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    overlapped_.hEvent = event_;
    Open();
}

FolderWatch::~FolderWatch() {
    Close();
    if (event_ != nullptr) CloseHandle(event_);
}

bool FolderWatch::Arrived(const std::function<bool(const std::string& name)>& matters) {
    DWORD n = 0;
    const bool got = asked_ && GetOverlappedResult(handle_, &overlapped_, &n, FALSE);
    const DWORD error = got ? ERROR_SUCCESS : GetLastError();
    if (asked_ && error != ERROR_SUCCESS && error != ERROR_NOTIFY_ENUM_DIR) {
        Close();  // gone: watched again once Renew finds it
        return true;
    }
    asked_ = false;
    bool found = (got && n == 0) || error == ERROR_NOTIFY_ENUM_DIR;  // the folder lost count
    for (size_t at = 0; got && at + sizeof(FILE_NOTIFY_INFORMATION) <= n;) {
        const auto* info = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(
            reinterpret_cast<const char*>(buffer_.data()) + at);  // offsets count bytes
        found = found || matters(Utf8(info->FileName, info->FileNameLength / sizeof(wchar_t)));
        if (info->NextEntryOffset == 0) break;
        at += info->NextEntryOffset;
    }
    Ask();
    return found;
}

void FolderWatch::Renew() {
    const HANDLE now = CreateFileW(folder_.c_str(), 0, kShareAll, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    const std::optional<PathIdentity> found = IdentityOf(now);
    if (now != INVALID_HANDLE_VALUE) CloseHandle(now);
    if (found == watched_ && handle_ != INVALID_HANDLE_VALUE) return;
    Close();
    if (found) Open();
}

void FolderWatch::Open() {
    handle_ = CreateFileW(folder_.c_str(), FILE_LIST_DIRECTORY, kShareAll, nullptr, OPEN_EXISTING,
                          FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    watched_ = IdentityOf(handle_);
    Ask();
}

void FolderWatch::Close() {
    if (asked_) {
        CancelIoEx(handle_, &overlapped_);
        DWORD n = 0;
        GetOverlappedResult(handle_, &overlapped_, &n, TRUE);
        asked_ = false;
    }
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
    watched_.reset();
    if (event_ != nullptr) ResetEvent(event_);
}

void FolderWatch::Ask() {
    if (event_ != nullptr) ResetEvent(event_);
    asked_ = handle_ != INVALID_HANDLE_VALUE && event_ != nullptr &&
             ReadDirectoryChangesW(handle_, buffer_.data(), DWORD(buffer_.size() * 4), FALSE,
                                   kChanges, nullptr, &overlapped_, nullptr);
}

}  // namespace quorlane
