// Resize repaint of the program's own main window, timed from inside, against
// the per-pixel design in the same run.
//
// It fills the program's application value with a smooth 403 × 344 field on
// the rainbow scale, opens the program's main window (its window class, window
// procedure and off-screen picture, not a copy), moves it to the top-left
// corner of the screen and, for each client size asked for, resizes it with
// SetWindowPos and UpdateWindow between that size and four fifths of it. A
// wrapper around the window procedure times every paint message with
// QueryPerformanceCounter. Then the same resizes run with the per-pixel
// design in place of the window's paint: erase, frame, one SetPixel per field
// pixel after the interpolation and the field colour rule, the band column by
// column with one SetPixel per pixel, the three texts. Per size it prints the
// median (and range) of both repaints at that size, their ratio, and whether
// the two pictures on the screen are equal. At the end it maximises the
// window and prints its client size and the off-screen picture's size and
// how many times it was made.
//
//   resize_bench [REPEATS [PER_PIXEL_REPEATS [WxH ...]]]
//
// Defaults: 25 resizes, 5 per-pixel ones (0: none), clients 1500x1081 and
// 3840x2160. A size the display does not allow is measured as far as it does
// (the line says so). Exit status 0, or 1 if the window cannot be made, a
// size gets no repaint, or the two pictures differ.
//
// Build: cmake --preset mingw && cmake --build --preset mingw
// Run under Wine on a virtual display larger than the largest client with
// the frame and the menu bar, e.g.
//   Xvfb :71 -screen 0 4000x2400x24 &
//   DISPLAY=:71 wine build/mingw/bench/win/resize_bench.exe
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench_field.h"
#include "bench_window.h"
#include "data/grid_loader.h"
#include "render/colour.h"
#include "render/interp.h"
#include "render/paint.h"
#include "viewer/main_window.h"

using namespace quorlane;

namespace {

// The per-pixel design on the window's DC: every pixel computed and set on
// its own, after erasing the client to the class background.
void PerPixelPaint(const Application& app, HDC dc, int w, int h) {
    const Layout L = ComputeLayout(app.grid, app.Settings(), w, h);
    RECT rc = {0, 0, w, h};
    FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    SelectObject(dc, GetStockObject(BLACK_PEN));
    if (L.hasField) {
        const DrawingBox& b = L.field;
        Rectangle(dc, static_cast<int>(b.xstart), static_cast<int>(b.ystart),
                  static_cast<int>(b.xend), static_cast<int>(b.yend + 1));
        for (int n = 1;; ++n) {
            const float y = static_cast<float>(static_cast<double>(b.ystart) + n);
            if (!(y < b.yend)) break;
            const float qy = static_cast<float>(static_cast<double>(n) * L.cellsPerPixelY);
            for (int m = 1;; ++m) {
                const float x = static_cast<float>(static_cast<double>(b.xstart) + m);
                if (!(static_cast<double>(x) < static_cast<double>(b.xend) - 1)) break;
                const float qx = static_cast<float>(static_cast<double>(m) * L.cellsPerPixelX);
                const float FF = Interpolate(app.grid, qx, qy);
                SetPixel(dc, static_cast<int>(x), static_cast<int>(y),
                         FieldColour(app.Settings(), FF));
            }
        }
    }
    if (L.hasBand) {
        const DrawingBox& b = L.band;
        Rectangle(dc, static_cast<int>(b.xstart), static_cast<int>(b.ystart),
                  static_cast<int>(b.xend), static_cast<int>(b.yend));
        const float width = b.xend - b.xstart;
        for (int m = 1;; ++m) {
            const float x = static_cast<float>(static_cast<double>(b.xstart) + m);
            if (!(static_cast<double>(x) < static_cast<double>(b.xend) - 1)) break;
            const Colour c = BandColour(app.Settings(), x, b.xstart, b.xend, width);
            for (int n = 1;; ++n) {
                const float y = static_cast<float>(static_cast<double>(b.ystart) + n);
                if (!(static_cast<double>(y) < static_cast<double>(b.yend) - 1)) break;
                SetPixel(dc, static_cast<int>(x), static_cast<int>(y), c);
            }
        }
    }
    for (int k = 0; k < L.textCount; ++k)
        TextOutA(dc, L.texts[k].x, L.texts[k].y, L.texts[k].str, L.texts[k].count);
}

// The window procedure wrapped around the program's own: every paint message
// is timed, and handled either by the program or by the per-pixel design.
// What the wrapper needs hangs on the window as the property "ResizeBench".
struct PaintTime {
    double seconds;
    int width, height;
};
struct Bench {
    const Application& app;
    WNDPROC programProc = nullptr;
    bool perPixel = false;
    std::vector<PaintTime> paints;
};
const char kBenchProperty[] = "ResizeBench";

LRESULT CALLBACK TimedWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Bench& bench = *static_cast<Bench*>(GetPropA(hWnd, kBenchProperty));
    if (msg != WM_PAINT) return CallWindowProcA(bench.programProc, hWnd, msg, wParam, lParam);
    RECT rc;
    GetClientRect(hWnd, &rc);
    const double t0 = SecondsNow();
    if (bench.perPixel) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hWnd, &ps);
        PerPixelPaint(bench.app, dc, rc.right, rc.bottom);
        EndPaint(hWnd, &ps);
    } else {
        CallWindowProcA(bench.programProc, hWnd, msg, wParam, lParam);
    }
    bench.paints.push_back({SecondsNow() - t0, rc.right, rc.bottom});
    return 0;
}

// Resizes to w × h from four fifths of it, `repeats` times; the time of the
// first paint at the new size after each resize.
std::vector<double> ResizeRepaints(Bench& bench, HWND wnd, int w, int h, int repeats,
                                   SIZE* reached) {
    std::vector<double> times;
    for (int k = 0; k < repeats; ++k) {
        ResizeClient(wnd, std::max(1, w * 4 / 5), std::max(1, h * 4 / 5));
        UpdateWindow(wnd);
        PumpMessages();
        ResizeClient(wnd, w, h);
        *reached = ClientSize(wnd);
        bench.paints.clear();
        UpdateWindow(wnd);
        for (const PaintTime& p : bench.paints)
            if (p.width == reached->cx && p.height == reached->cy) {
                times.push_back(p.seconds);
                break;
            }
        PumpMessages();
    }
    return times;
}

// The client area's pixels that lie on the screen (0x00RRGGBB, row after row).
std::vector<uint32_t> ClientPixels(HWND wnd) {
    POINT origin = {0, 0};
    ClientToScreen(wnd, &origin);
    const SIZE c = ClientSize(wnd);
    const int sx = GetSystemMetrics(SM_XVIRTUALSCREEN), sy = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int ox = origin.x, oy = origin.y, cw = c.cx, ch = c.cy;
    const int x0 = std::max(0, sx - ox), y0 = std::max(0, sy - oy);
    const int x1 = std::min(cw, sx + GetSystemMetrics(SM_CXVIRTUALSCREEN) - ox);
    const int y1 = std::min(ch, sy + GetSystemMetrics(SM_CYVIRTUALSCREEN) - oy);
    if (x1 <= x0 || y1 <= y0) return {};
    const int w = x1 - x0, h = y1 - y0;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    HDC windowDc = GetDC(wnd);
    HDC mem = CreateCompatibleDC(windowDc);
    void* bits = nullptr;
    HBITMAP image = CreateDIBSection(windowDc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<uint32_t> out;
    if (image != nullptr && bits != nullptr) {
        HGDIOBJ old = SelectObject(mem, image);
        BitBlt(mem, 0, 0, w, h, windowDc, x0, y0, SRCCOPY);
        GdiFlush();
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        out.assign(p, p + size_t(w) * size_t(h));
        for (uint32_t& v : out) v &= 0xFFFFFFu;
        SelectObject(mem, old);
    }
    if (image != nullptr) DeleteObject(image);
    DeleteDC(mem);
    ReleaseDC(wnd, windowDc);
    return out;
}

struct Spread {
    double median, low, high;
};

Spread Summary(std::vector<double> t) {
    if (t.empty()) return {NAN, NAN, NAN};
    std::sort(t.begin(), t.end());
    const size_t n = t.size();
    const double median = n % 2 ? t[n / 2] : (t[n / 2 - 1] + t[n / 2]) / 2;
    return {median * 1e3, t.front() * 1e3, t.back() * 1e3};
}

bool ParseSize(const char* s, SIZE* out) {
    int w = 0, h = 0;
    char tail = 0;
    if (std::sscanf(s, "%dx%d%c", &w, &h, &tail) != 2 || w < 1 || h < 1) return false;
    *out = {w, h};
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 25;
    const int perPixelRepeats = argc > 2 ? std::max(0, std::atoi(argv[2])) : 5;
    std::vector<SIZE> sizes;
    for (int k = 3; k < argc; ++k) {
        SIZE s;
        if (!ParseSize(argv[k], &s)) {
            std::printf("not a client size WxH: %s\n", argv[k]);
            return 2;
        }
        sizes.push_back(s);
    }
    if (sizes.empty()) sizes = {{1500, 1081}, {3840, 2160}};

    Application app(GetModuleHandleA(nullptr));
    if (!FillSmoothField(app, 403, 344)) return 1;
    HWND wnd = RegisterMainWindowClass(app.instance) ? CreateMainWindow(app) : nullptr;
    if (wnd == nullptr) {
        std::printf("cannot make the main window\n");
        return 1;
    }
    ShowWindow(wnd, SW_SHOWNORMAL);
    UpdateWindow(wnd);
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpMessages();
    Bench bench{app, nullptr, false, {}};
    SetPropA(wnd, kBenchProperty, &bench);
    bench.programProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedWndProc)));

    std::printf(
        "resize repaint of the main window: %u x %u grid, rainbow scale, %d resizes "
        "(%d per pixel) per size on a %d x %d screen, %u threads; medians (range) in ms\n",
        app.grid.columns, app.grid.rows, repeats, perPixelRepeats,
        GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN),
        app.pool.Threads());
    bool ok = true;
    for (const SIZE& want : sizes) {
        SIZE reached = {0, 0};
        bench.perPixel = false;
        const std::vector<double> ours =
            ResizeRepaints(bench, wnd, want.cx, want.cy, repeats, &reached);
        const std::vector<uint32_t> ourPicture = ClientPixels(wnd);
        std::vector<double> perPixel;
        std::vector<uint32_t> perPixelPicture;
        if (perPixelRepeats > 0) {
            bench.perPixel = true;
            perPixel = ResizeRepaints(bench, wnd, want.cx, want.cy, perPixelRepeats, &reached);
            perPixelPicture = ClientPixels(wnd);
            bench.perPixel = false;
        }
        const Spread a = Summary(ours), b = Summary(perPixel);
        std::printf("client %ld x %ld: resize repaint %.2f (%.2f to %.2f)", reached.cx, reached.cy,
                    a.median, a.low, a.high);
        if (perPixelRepeats > 0) {
            long long differ = 0;
            for (size_t k = 0; k < std::min(ourPicture.size(), perPixelPicture.size()); ++k)
                differ += ourPicture[k] != perPixelPicture[k];
            const bool same = differ == 0 && ourPicture.size() == perPixelPicture.size();
            std::printf(", per pixel %.1f (%.1f to %.1f), ratio %.1f, pictures %s", b.median, b.low,
                        b.high, b.median / a.median, same ? "equal" : "differ");
            if (!same) std::printf(" in %lld pixels", differ);
            ok = ok && same;
        }
        if (reached.cx != want.cx || reached.cy != want.cy)
            std::printf(" (asked for %ld x %ld)", want.cx, want.cy);
        std::printf("\n");
        ok = ok && !ours.empty() && (perPixelRepeats == 0 || !perPixel.empty());
    }
    // Maximised: the client fits in what the screen holds, so the picture
    // is not made again.
    bench.paints.clear();
    ShowWindow(wnd, SW_MAXIMIZE);
    UpdateWindow(wnd);
    PumpMessages();
    const SIZE maximised = ClientSize(wnd);
    std::printf("maximised: client %ld x %ld", maximised.cx, maximised.cy);
    if (!bench.paints.empty()) std::printf(", repaint %.2f", bench.paints.back().seconds * 1e3);
    std::printf("\n");
    std::printf("off-screen picture %d x %d pixels, made %d times\n", app.picture.width(),
                app.picture.height(), app.picture.made());
    std::fflush(stdout);

    SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(bench.programProc));
    RemovePropA(wnd, kBenchProperty);
    DestroyWindow(wnd);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) DispatchMessageA(&msg);
    return ok ? 0 : 1;
}
