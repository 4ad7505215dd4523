#pragma once
// What the benchmarks that drive the program's own main window share: the
// clock, the message pump and the window's client size.
#include <windows.h>

#include <algorithm>
#include <vector>

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

// Handles messages until `done` holds or `seconds` pass; whether it held.
template <class Done>
bool PumpUntil(Done done, double seconds) {
    const double end = SecondsNow() + seconds;
    while (!done()) {
        const double left = end - SecondsNow();
        if (left <= 0) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(std::min(left, 0.05) * 1000) + 1,
                                  QS_ALLINPUT);
        PumpMessages();
    }
    return true;
}

// The median of `v` (0 for none).
inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
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
