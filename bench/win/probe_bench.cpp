// The readout's answer to the pointer, timed inside the program's own main
// window with --probe's status bar (its window class, window procedure and
// status bar, not a copy).
//
// It fills the application value with a smooth 1000 × 1000 field, opens the
// main window with the status bar at a 1920 × 1080 client, and sends it
// WM_MOUSEMOVE for pixels spread over the client (field, band and the strips
// around them). Each move is timed from the message to the end of the status
// bar's own repaint (UpdateWindow and GdiFlush), which is when the user sees
// the new readout. A wrapper around the window procedure counts the main
// window's paints: a pointer move must not repaint the picture. It prints the
// median and the worst time, and the paints.
//
//   probe_bench [MOVES]
//
// Defaults: 2000 moves. Exit status 0, or 1 if the window cannot be made or
// a move repainted the picture.
//
// Build: cmake --preset mingw && cmake --build --preset mingw
// Run under Wine on a virtual display, e.g.
//   Xvfb :71 -screen 0 2400x1600x24 &
//   DISPLAY=:71 wine build/mingw/bench/win/probe_bench.exe
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_field.h"
#include "bench_window.h"
#include "probe/field_range.h"
#include "viewer/main_window.h"

using namespace quorlane;

namespace {

WNDPROC programProcedure = nullptr;
int paints = 0;

LRESULT CALLBACK CountingProcedure(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) ++paints;
    return CallWindowProcA(programProcedure, wnd, msg, wParam, lParam);
}

}  // namespace

int main(int argc, char** argv) {
    const int moves = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    Application app(GetModuleHandleA(nullptr));
    if (!FillSmoothField(app, 1000, 1000)) return 1;
    HWND wnd = RegisterMainWindowClass(app.instance) ? CreateMainWindow(app) : nullptr;
    if (wnd == nullptr || !AddProbeBar(app, wnd, RangeOf(app.grid, app.Settings(), app.pool))) {
        std::printf("cannot make the main window with its status bar\n");
        return 1;
    }
    ShowWindow(wnd, SW_SHOWNORMAL);
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ResizeClient(wnd, 1920, 1080);
    UpdateWindow(wnd);
    PumpMessages();
    programProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProcedure)));

    const SIZE client = ClientSize(wnd);
    const int pictureHeight = app.probe->PictureHeight(client.cy);
    const HWND bar = app.probe->Handle();
    std::vector<double> ms;
    ms.reserve(size_t(moves));
    paints = 0;
    for (int k = 0; k < moves; ++k) {
        // A walk over the picture in steps of a few pixels, as a pointer moves.
        const int x = int((k * 7L) % client.cx);
        const int y = int((k * 13L / 3) % std::max(1, pictureHeight));
        const double t0 = SecondsNow();
        SendMessageA(wnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
        UpdateWindow(bar);
        GdiFlush();
        ms.push_back((SecondsNow() - t0) * 1000.0);
        PumpMessages();
    }
    const int picturePaints = paints;
    std::sort(ms.begin(), ms.end());
    std::printf(
        "%d pointer moves at a %ld x %ld client (picture %ld x %d): readout shown in "
        "median %.3f ms, 99th %.3f ms, worst %.3f ms; picture repaints %d\n",
        moves, client.cx, client.cy, client.cx, pictureHeight, ms[ms.size() / 2],
        ms[ms.size() * 99 / 100], ms.back(), picturePaints);
    DestroyWindow(wnd);
    return picturePaints == 0 ? 0 : 1;
}
