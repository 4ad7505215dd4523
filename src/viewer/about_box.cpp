// The About box: centred on the screen, ended by OK, Esc or its close box.
#include "viewer/about_box.h"

namespace quorlane {

INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam) {
    (void)lParam;
    switch (uMsg) {
    case WM_INITDIALOG: {
        // Centre the box on the whole screen.
        RECT r;
        GetWindowRect(hDlg, &r);
        int dw = r.right - r.left;
        int dh = r.bottom - r.top;
        int top = (GetSystemMetrics(SM_CYSCREEN) - dh) / 2;
        int left = (GetSystemMetrics(SM_CXSCREEN) - dw) / 2;
        MoveWindow(hDlg, left, top, dw, dh, TRUE);
        return 1;
    }
    case WM_COMMAND:
        if (wParam == IDOK) {
            EndDialog(hDlg, IDOK);
            return 1;
        }
        // Esc and the caption's close box end the box too.
        if (wParam == IDCANCEL) {
            EndDialog(hDlg, IDCANCEL);
            return 1;
        }
        return 0;
    }
    return 0;
}

}  // namespace quorlane
