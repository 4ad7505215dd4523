// Speed of the viewer's paint against the per-pixel design, on a window with
// a 1920 × 1080 client area, both timed in the same run:
//   (a) per pixel: erase, frame, then for every pixel of the field image the
//       interpolation and the field colour rule and one SetPixel on the
//       window, then the band column by column with one SetPixel per pixel,
//       then the three texts;
//       (its per-pixel work is also timed alone, without the SetPixel calls);
//   (b) ours: ComputeLayout + PaintClient into a 32-bit DIB section, the three
//       texts with TextOutA on it, and one BitBlt to the window.
// Both end with GdiFlush, so that the drawing is done when the clock stops.
// Afterwards the two pictures are compared pixel by pixel.
//
// Build (cross, with the Windows program):
//   cmake --preset mingw && cmake --build --preset mingw --target setpixel_bench
// Run under Wine on a virtual display big enough for the window:
//   Xvfb :71 -screen 0 2400x1600x24 &
//   DISPLAY=:71 wine build/mingw/bench/win/setpixel_bench.exe [per-pixel reps] [our reps] [color]
// (defaults 3, 50 and 1 = rainbow; 0 selects the two-colour scale). On Windows
// run the .exe directly. It prints the mean and best time of each pass and
// the ratio of the means.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "data/grid.h"
#include "data/settings.h"
#include "render/colour.h"
#include "render/interp.h"
#include "render/field_row.h"
#include "render/paint.h"

namespace {

constexpr int kClientW = 1920;
constexpr int kClientH = 1080;

// A smooth 100 × 100 field with values from about -20 to 120.
Grid gGrid;
DisplaySettings gSettings;
std::unique_ptr<FieldRowPainter> gRows;

bool LoadBenchData(int colorMode) {
    std::string grid = "100 100 1.0 1.0\n";
    char line[64];
    for (int j = 0; j < 100; ++j)
        for (int i = 0; i < 100; ++i) {
            double v = 50 + 70 * std::sin(i * 0.07) * std::cos(j * 0.05);
            std::snprintf(line, sizeof line, "%.4f\n", v);
            grid += line;
        }
    std::snprintf(line, sizeof line, "%d\n", colorMode);
    std::string ini = "0.0\n100.0\n0\n255\n0\n0\n255\n0\n800\n600\n20\n30\n20\n10\nBench\n1\n";
    ini += line;
    StartupResult r = LoadGridBytes(gGrid, grid.data(), grid.size());
    if (!r.ok) {
        std::printf("grid: %s\n", r.message);
        return false;
    }
    r = LoadSettingsBytes(gSettings, ini.data(), ini.size());
    if (!r.ok) {
        std::printf("settings: %s\n", r.message);
        return false;
    }
    gRows = std::make_unique<FieldRowPainter>(gSettings);
    return true;
}

double Now() {
    static LARGE_INTEGER freq = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(freq.QuadPart);
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

LRESULT CALLBACK BenchWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_PAINT) {  // the benchmark draws on its own; just validate
        PAINTSTRUCT ps;
        BeginPaint(hWnd, &ps);
        EndPaint(hWnd, &ps);
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

void DrawTexts(HDC dc, const Layout& L) {
    for (int k = 0; k < L.textCount; ++k)
        TextOutA(dc, L.texts[k].x, L.texts[k].y, L.texts[k].str, L.texts[k].count);
}

volatile uint32_t gSink;  // keeps the colours of the work-only pass alive

// The per-pixel design: every pixel computed and set on its own. With
// setPixels false it does the same per-pixel work without the SetPixel calls
// (and without drawing), which tells how much of its time SetPixel takes.
void PerPixelPass(HDC dc, int w, int h, bool setPixels = true) {
    uint32_t sink = 0;
    auto Set = [&](int x, int y, Colour c) {
        if (setPixels)
            SetPixel(dc, x, y, c);
        else
            sink += c + static_cast<uint32_t>(x) + static_cast<uint32_t>(y);
    };
    Layout L = ComputeLayout(gGrid, gSettings, w, h);
    RECT rc = {0, 0, w, h};
    if (setPixels) {
        FillRect(dc, &rc, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
        SelectObject(dc, GetStockObject(BLACK_PEN));
    }
    if (L.hasField) {
        const DrawingBox& b = L.field;
        if (setPixels)
            Rectangle(dc, static_cast<int>(b.xstart), static_cast<int>(b.ystart),
                      static_cast<int>(b.xend), static_cast<int>(b.yend + 1));
        for (int n = 1;; ++n) {
            float y = static_cast<float>(static_cast<double>(b.ystart) + n);
            if (!(y < b.yend)) break;
            float qy = static_cast<float>(static_cast<double>(n) * L.cellsPerPixelY);
            for (int m = 1;; ++m) {
                float x = static_cast<float>(static_cast<double>(b.xstart) + m);
                if (!(static_cast<double>(x) < static_cast<double>(b.xend) - 1)) break;
                float qx = static_cast<float>(static_cast<double>(m) * L.cellsPerPixelX);
                float FF = Interpolate(gGrid, qx, qy);
                Set(static_cast<int>(x), static_cast<int>(y), FieldColour(gSettings, FF));
            }
        }
    }
    if (L.hasBand) {
        const DrawingBox& b = L.band;
        if (setPixels)
            Rectangle(dc, static_cast<int>(b.xstart), static_cast<int>(b.ystart),
                      static_cast<int>(b.xend), static_cast<int>(b.yend));
        float width = b.xend - b.xstart;
        for (int m = 1;; ++m) {
            float x = static_cast<float>(static_cast<double>(b.xstart) + m);
            if (!(static_cast<double>(x) < static_cast<double>(b.xend) - 1)) break;
            Colour c = BandColour(gSettings, x, b.xstart, b.xend, width);
            for (int n = 1;; ++n) {
                float y = static_cast<float>(static_cast<double>(b.ystart) + n);
                if (!(static_cast<double>(y) < static_cast<double>(b.yend) - 1)) break;
                Set(static_cast<int>(x), static_cast<int>(y), c);
            }
        }
    }
    gSink = sink;
    if (!setPixels) return;
    DrawTexts(dc, L);
    GdiFlush();
}

// Ours: the whole picture into the off-screen image, texts on it, one blit.
void OurPass(HDC dc, HDC mem, uint32_t* bits, int w, int h) {
    Layout L = ComputeLayout(gGrid, gSettings, w, h);
    GdiFlush();  // GDI is done with the image before the core writes it
    PaintClient(gGrid, gSettings, *gRows, L, {bits, w});
    DrawTexts(mem, L);
    BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
    GdiFlush();
}

HBITMAP MakeImage(HDC ref, int w, int h, uint32_t** bits) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* p = nullptr;
    HBITMAP bmp = CreateDIBSection(ref, &bi, DIB_RGB_COLORS, &p, nullptr, 0);
    *bits = static_cast<uint32_t*>(p);
    return bmp;
}

struct Timing {
    double total = 0, best = 1e300;
    void Add(double t) {
        total += t;
        if (t < best) best = t;
    }
};

}  // namespace

int main(int argc, char** argv) {
    int slowReps = argc > 1 ? std::atoi(argv[1]) : 3;
    int fastReps = argc > 2 ? std::atoi(argv[2]) : 50;
    int colorMode = argc > 3 ? std::atoi(argv[3]) : 1;
    if (slowReps < 1) slowReps = 1;
    if (fastReps < 1) fastReps = 1;
    if (!LoadBenchData(colorMode)) return 1;

    HINSTANCE inst = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    wc.lpfnWndProc = BenchWndProc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    wc.lpszClassName = "QuorlaneBenchClass";
    if (!RegisterClassA(&wc)) {
        std::printf("cannot register the window class\n");
        return 1;
    }
    RECT wr = {0, 0, kClientW, kClientH};
    AdjustWindowRect(&wr, WS_OVERLAPPEDWINDOW, FALSE);
    HWND wnd =
        CreateWindowExA(0, wc.lpszClassName, "Quorlane paint benchmark", WS_OVERLAPPEDWINDOW, 0, 0,
                        wr.right - wr.left, wr.bottom - wr.top, nullptr, nullptr, inst, nullptr);
    if (!wnd) {
        std::printf("cannot create the window\n");
        return 1;
    }
    ShowWindow(wnd, SW_SHOWNORMAL);
    UpdateWindow(wnd);
    PumpMessages();

    RECT rc;
    GetClientRect(wnd, &rc);
    int w = rc.right, h = rc.bottom;
    std::printf("client %d x %d, grid %u x %u, %s scale\n", w, h, gGrid.columns, gGrid.rows,
                colorMode == 1 ? "rainbow" : "two-colour");
    if (w != kClientW || h != kClientH)
        std::printf("warning: the client is not %d x %d\n", kClientW, kClientH);

    HDC dc = GetDC(wnd);
    HDC mem = CreateCompatibleDC(dc);
    uint32_t* bits = nullptr;
    HBITMAP image = MakeImage(dc, w, h, &bits);
    SelectObject(mem, image);
    HDC snapDc = CreateCompatibleDC(dc);
    uint32_t* snap = nullptr;
    HBITMAP snapImage = MakeImage(dc, w, h, &snap);
    SelectObject(snapDc, snapImage);
    if (!bits || !snap) {
        std::printf("cannot create the off-screen images\n");
        return 1;
    }

    Timing slow, fast, work;
    for (int k = 0; k < slowReps; ++k) {
        double t0 = Now();
        PerPixelPass(dc, w, h, false);
        work.Add(Now() - t0);
    }
    for (int k = 0; k < slowReps; ++k) {
        double t0 = Now();
        PerPixelPass(dc, w, h);
        slow.Add(Now() - t0);
        PumpMessages();
    }
    BitBlt(snapDc, 0, 0, w, h, dc, 0, 0, SRCCOPY);  // the per-pixel picture
    GdiFlush();
    for (int k = 0; k < fastReps; ++k) {
        double t0 = Now();
        OurPass(dc, mem, bits, w, h);
        fast.Add(Now() - t0);
        PumpMessages();
    }

    long long differ = 0;
    for (long long k = 0; k < static_cast<long long>(w) * h; ++k)
        if ((bits[k] & 0xFFFFFFu) != (snap[k] & 0xFFFFFFu)) ++differ;

    double slowMean = slow.total / slowReps, fastMean = fast.total / fastReps;
    double pixels = static_cast<double>(w) * h;
    std::printf("per-pixel SetPixel pass: mean %9.2f ms, best %9.2f ms (%d runs, %.1f ns/pixel)\n",
                slowMean * 1e3, slow.best * 1e3, slowReps, slowMean * 1e9 / pixels);
    std::printf("  of which per-pixel work without SetPixel: mean %9.2f ms (%.1f ns/pixel)\n",
                work.total / slowReps * 1e3, work.total / slowReps * 1e9 / pixels);
    std::printf("image + one blit:        mean %9.2f ms, best %9.2f ms (%d runs, %.2f ns/pixel)\n",
                fastMean * 1e3, fast.best * 1e3, fastReps, fastMean * 1e9 / pixels);
    std::printf("ratio (mean): %.1f x, (best): %.1f x\n", slowMean / fastMean,
                slow.best / fast.best);
    std::printf("pictures differ in %lld of %.0f pixels\n", differ, pixels);

    DeleteDC(snapDc);
    DeleteObject(snapImage);
    DeleteDC(mem);
    DeleteObject(image);
    ReleaseDC(wnd, dc);
    DestroyWindow(wnd);
    return 0;
}
