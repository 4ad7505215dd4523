#pragma once
// The About box (the dialog resource "AboutDlg"), opened by Help > About....
#include <windows.h>

INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
