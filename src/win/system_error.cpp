// The system's message text for an error code.
#include "win/system_error.h"

#include "win/utf.h"

namespace quorlane {

DWORD ErrorCodeOf(HRESULT error) {
    return HRESULT_FACILITY(error) == FACILITY_WIN32 ? DWORD(HRESULT_CODE(error)) : DWORD(error);
}

std::string SystemErrorText(HRESULT error) {
    wchar_t text[256];
    DWORD n =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       ErrorCodeOf(error), 0, text, DWORD(sizeof text / sizeof text[0]), nullptr);
    while (n > 0 && (text[n - 1] == L'\n' || text[n - 1] == L'\r' || text[n - 1] == L'.')) --n;
    if (n > 0) return Utf8(text, n);
    char hex[32];
    wsprintfA(hex, "error 0x%08lX", static_cast<unsigned long>(error));
    return hex;
}

}  // namespace quorlane
