#pragma once
// What the benchmarks that drive the program's own main window share: the
// clock, the message pump and the window's client size.
#include <windows.h>

// Seconds on the performance counter.
inline double SecondsNow() {
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// Handles the messages waiting for this thread.
inline void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

inline SIZE ClientSize(HWND wnd) {
    RECT rc;
    GetClientRect(wnd, &rc);
    return {rc.right, rc.bottom};
}

// Resizes the window so that its client is w × h, as far as the display allows.
inline void ResizeClient(HWND wnd, int w, int h) {
    RECT wr;
    GetWindowRect(wnd, &wr);
    const SIZE c = ClientSize(wnd);
    const int frameW = (wr.right - wr.left) - c.cx, frameH = (wr.bottom - wr.top) - c.cy;
    SetWindowPos(wnd, nullptr, 0, 0, w + frameW, h + frameH,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}
