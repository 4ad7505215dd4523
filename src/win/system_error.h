#pragma once
// The system's own words for an error code, for the reports of both programs.
#include <windows.h>

#include <string>

namespace quorlane {

// The Win32 error an HRESULT carries (one of FACILITY_WIN32), else the
// HRESULT itself as a code.
DWORD ErrorCodeOf(HRESULT error);

// The system's message for an error code (a Win32 error or an HRESULT),
// without its closing period and line break; "error 0x8007XXXX" when the
// system has no text for it.
std::string SystemErrorText(HRESULT error);

}  // namespace quorlane
