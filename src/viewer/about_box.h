#pragma once
// The About box (the dialog resource "AboutDlg"), opened by Help > About....
#include <windows.h>

namespace quorlane {

INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

}  // namespace quorlane
