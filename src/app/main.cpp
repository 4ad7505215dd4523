// The Quorlane Windows program: start-up, the main window, its message loop
// and the About box.
#include <windows.h>

#include <cstdint>

#include <memory>

#include "data/grid.h"
#include "data/settings.h"
#include "data/startup.h"
#include "quorlane.h"
#include "render/field_row.h"
#include "render/paint.h"

namespace {

// The off-screen picture of the client area: one 32-bit top-down DIB section
// selected into a memory DC. Kept while the client size stays the same.
struct Picture {
    HDC memDC = nullptr;
    HBITMAP dib = nullptr;
    HBITMAP oldBitmap = nullptr;
    uint32_t* bits = nullptr;
    int width = 0, height = 0;
};

// Everything the program holds while it runs: the module instance, the grid
// and the settings read at start-up, the field row painter made from those
// settings, and the off-screen picture.
struct Application {
    HINSTANCE instance = nullptr;
    Grid grid;
    DisplaySettings settings;
    std::unique_ptr<FieldRowPainter> rows;
    Picture picture;
};

Application app;

void ReleasePicture(Picture& p) {
    if (p.memDC) {
        if (p.oldBitmap) SelectObject(p.memDC, p.oldBitmap);
        DeleteDC(p.memDC);
    }
    if (p.dib) DeleteObject(p.dib);
    p = Picture();
}

// Makes sure the off-screen picture is w × h pixels; false if it cannot be had.
bool PreparePicture(Picture& p, HDC hdc, int w, int h) {
    if (p.dib && p.width == w && p.height == h) return true;
    ReleasePicture(p);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;  // top row first
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(hdc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bmp || !bits) {
        if (bmp) DeleteObject(bmp);
        return false;
    }
    HDC dc = CreateCompatibleDC(hdc);
    if (!dc) {
        DeleteObject(bmp);
        return false;
    }
    p.memDC = dc;
    p.dib = bmp;
    p.oldBitmap = static_cast<HBITMAP>(SelectObject(p.memDC, p.dib));
    p.bits = static_cast<uint32_t*>(bits);
    p.width = w;
    p.height = h;
    return true;
}

// The paint message: the core's picture, then the texts with the memory DC's
// defaults (system font, black on opaque white), then one blit.
void PaintWindow(HWND hWnd) {
    PAINTSTRUCT pS;
    HDC hdc = BeginPaint(hWnd, &pS);
    RECT rClient;
    GetClientRect(hWnd, &rClient);
    int w = rClient.right - rClient.left;
    int h = rClient.bottom - rClient.top;
    if (w > 0 && h > 0) {
        Picture& p = app.picture;
        if (PreparePicture(p, hdc, w, h)) {
            GdiFlush();  // GDI is done with the bits before the core writes them
            const Layout layout = ComputeLayout(app.grid, app.settings, w, h);
            PaintClient(app.grid, app.settings, *app.rows, layout, {p.bits, p.width});
            for (int t = 0; t < layout.textCount; ++t) {
                const PaintText& pt = layout.texts[t];
                TextOutA(p.memDC, pt.x, pt.y, pt.str, pt.count);
            }
            BitBlt(hdc, 0, 0, w, h, p.memDC, 0, 0, SRCCOPY);
        } else {
            // No memory for the picture: at least show the background.
            FillRect(hdc, &rClient, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
        }
    }
    EndPaint(hWnd, &pS);
}

}  // namespace

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

LRESULT CALLBACK MainWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_DESTROY:
        ReleasePicture(app.picture);
        app.grid = Grid();
        PostQuitMessage(0);
        return 0;
    case WM_ERASEBKGND:
        // The paint covers the whole client area, starting from the same
        // light grey, so erasing first would only make resizing flicker.
        return 1;
    case WM_PAINT:
        PaintWindow(hWnd);
        return 0;
    case WM_COMMAND:
        if (wParam == IDM_ABOUT) DialogBoxParamA(app.instance, "AboutDlg", hWnd, AboutDlgProc, 0);
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

namespace {

// The start-up failure report: a warning box with no owner.
int StartupFailure(const char* message, int status) {
    MessageBoxA(nullptr, message, "Quorlane", MB_OK | MB_ICONEXCLAMATION);
    return status;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpszCmdLine, int nCmdShow) {
    (void)lpszCmdLine;
    StartupResult r = LoadGrid(app.grid);
    if (!r.ok) return StartupFailure(r.message, r.status);
    r = LoadSettings(app.settings);
    if (!r.ok) {
        app.grid = Grid();
        return StartupFailure(r.message, r.status);
    }
    app.rows = std::make_unique<FieldRowPainter>(app.settings);

    if (!hPrevInstance) {
        WNDCLASSA wc = {};
        wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
        wc.lpfnWndProc = MainWndProc;
        wc.cbClsExtra = 0;
        wc.cbWndExtra = 0;
        wc.hInstance = hInstance;
        wc.hIcon = LoadIconA(hInstance, "QuorlaneICON");
        wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
        wc.lpszMenuName = "QuorlaneMenu";
        wc.lpszClassName = "QuorlaneClass";
        if (!RegisterClassA(&wc)) {
            app.grid = Grid();
            return StartupFailure("Cannot create the main window", 1);
        }
    }
    app.instance = hInstance;

    const int width = static_cast<int>(app.settings.windowWidth);
    const int height = static_cast<int>(app.settings.windowHeight);
    const int x = (GetSystemMetrics(SM_CXFULLSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYFULLSCREEN) - height) / 2;
    HWND hWnd = CreateWindowExA(0, "QuorlaneClass", "Quorlane", WS_OVERLAPPEDWINDOW, x, y, width,
                                height, nullptr, nullptr, hInstance, nullptr);
    if (!hWnd) {
        app.grid = Grid();
        return StartupFailure("Cannot create the main window", 1);
    }
    ShowWindow(hWnd, nCmdShow);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
