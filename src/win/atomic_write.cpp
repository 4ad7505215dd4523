// The temporary file, the write, the rename and the check of the final name.
#include "win/atomic_write.h"

#include <algorithm>
#include <new>

#include "win/file_facts.h"
#include "win/utf.h"

namespace quorlane {

namespace {

// The temporary file, made new: INVALID_HANDLE_VALUE when it cannot be,
// `error` then saying why.
HANDLE CreateTemporary(const AtomicWrite& how, std::wstring& temp, HRESULT& error) {
    for (unsigned k = 0;; ++k) {
        temp = Utf16(how.temporaryPath(k));
        const DWORD share = how.shared ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : 0;
        const HANDLE file = CreateFileW(temp.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr,
                                        CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        const DWORD code = GetLastError();
        if ((code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) || k >= 1000) {
            error = HRESULT_FROM_WIN32(code);
            return INVALID_HANDLE_VALUE;
        }
    }
}

}  // namespace

HRESULT WriteAll(HANDLE file, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD part = DWORD(std::min<size_t>(size, size_t(1) << 30));
        DWORD n = 0;
        const BOOL ok = WriteFile(file, bytes, part, &n, nullptr);
        if (!ok || n != part) return HRESULT_FROM_WIN32(ok ? ERROR_DISK_FULL : GetLastError());
        bytes += n;
        size -= n;
    }
    return S_OK;
}

AtomicWriteOutcome WriteAtomically(const AtomicWrite& how,
                                   const std::function<HRESULT(HANDLE file)>& write,
                                   HRESULT& error) {
    std::wstring temp;
    const HANDLE file = CreateTemporary(how, temp, error);
    if (file == INVALID_HANDLE_VALUE) return AtomicWriteOutcome::Failed;
    HRESULT hr = E_OUTOFMEMORY;
    try {
        hr = write(file);
    } catch (const std::bad_alloc&) {
        // the temporary file goes below
    } catch (...) {
        CloseHandle(file);
        DeleteFileW(temp.c_str());
        throw;
    }
    CloseHandle(file);
    const std::wstring target = Utf16(how.path);
    bool renamed = false, refused = false;
    if (SUCCEEDED(hr)) {
        renamed =
            MoveFileExW(temp.c_str(), target.c_str(), how.replace ? MOVEFILE_REPLACE_EXISTING : 0);
        refused = !renamed;
        if (refused) hr = HRESULT_FROM_WIN32(GetLastError());
    }
    // Another output cut to the same name is then refused as existing or in
    // use: a long name refused while no file is there under it is too long.
    if (renamed && ListedUnderName(target)) return AtomicWriteOutcome::Written;
    const bool tooLong = renamed || hr == HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE) ||
                         (refused && how.nameTooLong && !ListedUnderName(target));
    DeleteFileW(renamed ? target.c_str() : temp.c_str());  // by the name that finds it
    if (tooLong) return AtomicWriteOutcome::NameTooLong;
    if (hr == E_ABORT) return AtomicWriteOutcome::Stopped;
    if (hr == HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS) ||
        hr == HRESULT_FROM_WIN32(ERROR_FILE_EXISTS))
        return AtomicWriteOutcome::Exists;
    error = hr;
    return AtomicWriteOutcome::Failed;
}

}  // namespace quorlane
