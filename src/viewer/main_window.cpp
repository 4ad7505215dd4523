// The main window: its class, its placement, paint, destroy and the About command.
#include "viewer/main_window.h"

#include <windowsx.h>

#include "common/failure.h"
#include "common/names.h"
#include "gdi/client_picture.h"
#include "gdi/main_window_frame.h"
#include "quorlane.h"
#include "viewer/about_box.h"
#include "viewer/rules/picture_side.h"
#include "viewer/rules/watch.h"
#include "win/utf.h"

namespace quorlane {

namespace {

// Makes the off-screen picture anew, at the sides of the growth rule, when it
// does not hold a w × h client. Without memory for those, DrawClientPicture
// makes it just large enough.
void GrowPicture(OffscreenPicture& picture, HDC hdc, int w, int h) {
    if (picture.Holds(w, h)) return;
    picture.Make(hdc, PictureSide(picture.width(), w, GetSystemMetrics(SM_CXVIRTUALSCREEN)),
                 PictureSide(picture.height(), h, GetSystemMetrics(SM_CYVIRTUALSCREEN)));
}

// The paint message: the client picture drawn into the off-screen picture,
// then one blit of exactly the client area. This thread erases the client to
// the class background while the pool paints, so that the erase, not the
// blit, takes in the pages of the window's fresh surface after a resize (see
// docs/performance.md). The blit covers the light grey; without memory for
// the picture the client shows the background only.
void PaintWindow(Application& app, HWND hWnd) {
    PAINTSTRUCT pS;
    HDC hdc = BeginPaint(hWnd, &pS);
    RECT rClient;
    GetClientRect(hWnd, &rClient);
    const int w = rClient.right - rClient.left;
    // With --probe the picture fills the client above the status bar.
    const int h = app.probe ? app.probe->PictureHeight(rClient.bottom) : rClient.bottom;
    rClient.bottom = h;
    const HBRUSH grey = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    if (w > 0 && h > 0) {
        const auto erase = [&] { FillRect(hdc, &rClient, grey); };
        GrowPicture(app.picture, hdc, w, h);
        if (DrawClientPicture(app.picture, hdc, app.ShownGrid(), app.ShownPainter(), app.pool, w, h,
                              erase))
            BitBlt(hdc, 0, 0, w, h, app.picture.dc(), 0, 0, SRCCOPY);
        else
            erase();
    }
    EndPaint(hWnd, &pS);
}

// Sets the window's title. The wide text goes straight to the default
// handling, which keeps it whole on this narrow window, whatever the
// system's code page spells.
void SetTitle(HWND hWnd, const std::string& title) {
    DefWindowProcW(hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(Utf16(title).c_str()));
}

// A reload's outcome swapped in: the new grid and the painter of the new
// settings (the window size kept) in one step, then one repaint; the title says whether
// the picture is of the files as they are.
void TakeReload(Application& app, HWND hWnd) {
    if (!app.watcher) return;
    std::unique_ptr<Reload> reload = app.watcher->Take();
    if (!reload) return;
    if (reload->result.ok) {
        std::swap(app.grid, reload->grid);
        std::swap(app.painter, reload->painter);
        ShownGridChanged(app);
        InvalidateRect(hWnd, nullptr, FALSE);
    }
    SetTitle(hWnd, WatchTitle(app.title, reload->result.message));
    reload.reset();  // the grid shown before goes before another load may start
    app.watcher->Taken();
}

// The application value the window was made for, or null for the messages
// that come before WM_NCCREATE.
Application* ApplicationOf(HWND hWnd) {
    return reinterpret_cast<Application*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
}

}  // namespace

bool RegisterMainWindowClass(HINSTANCE instance) {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    wc.lpfnWndProc = MainWndProc;
    wc.cbClsExtra = 0;
    wc.cbWndExtra = 0;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "QuorlaneICON");
    wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
    wc.lpszMenuName = kMainWindowMenu;
    wc.lpszClassName = kMainWindowClass;
    return RegisterClassA(&wc) != 0;
}

namespace {

// Whether a main window of this program lies exactly at `rect`.
bool MainWindowAt(const RECT& rect) {
    struct Search {
        RECT rect;
        bool found;
    } search = {rect, false};
    EnumWindows(
        [](HWND w, LPARAM param) -> BOOL {
            Search& s = *reinterpret_cast<Search*>(param);
            char name[32];
            RECT r;
            if (GetClassNameA(w, name, sizeof name) > 0 && lstrcmpA(name, kMainWindowClass) == 0 &&
                GetWindowRect(w, &r) && EqualRect(&r, &s.rect))
                s.found = true;
            return !s.found;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

HWND CreateMainWindow(Application& app, const std::string& title, bool besideOthers) {
    const int width = static_cast<int>(app.Settings().windowWidth);
    const int height = static_cast<int>(app.Settings().windowHeight);
    int x = (GetSystemMetrics(SM_CXFULLSCREEN) - width) / 2;
    int y = (GetSystemMetrics(SM_CYFULLSCREEN) - height) / 2;
    if (!besideOthers)
        return CreateWindowExA(0, kMainWindowClass, kProgramName, kMainWindowStyle, x, y, width,
                               height, nullptr, nullptr, app.instance, &app);
    // Copies started together place their windows one after another.
    HANDLE turn = CreateMutexW(nullptr, FALSE, L"Local\\QuorlaneWindowPlacement");
    if (turn != nullptr) WaitForSingleObject(turn, 10000);
    const int step = GetSystemMetrics(SM_CYCAPTION);
    for (int k = 0; k < 100; ++k) {
        const RECT at = {x, y, x + width, y + height};
        if (!MainWindowAt(at)) break;
        x += step;
        y += step;
    }
    HWND hWnd = CreateWindowExA(0, kMainWindowClass, kProgramName, kMainWindowStyle, x, y, width,
                                height, nullptr, nullptr, app.instance, &app);
    if (hWnd != nullptr && !title.empty()) SetTitle(hWnd, title);
    if (turn != nullptr) {
        ReleaseMutex(turn);
        CloseHandle(turn);
    }
    return hWnd;
}

const Grid& Application::ShownGrid() const {
    return series ? series->Picture().grid : grid;
}

const FieldRowPainter& Application::ShownPainter() const {
    return series ? *series->Picture().painter : *painter;
}

bool AddProbeBar(Application& app, HWND hWnd, const FieldRange& range) {
    app.probe = std::make_unique<ProbeBar>();
    if (!app.probe->Create(hWnd, app.instance)) return false;
    app.probe->GridShown(app.ShownGrid(), app.ShownPainter().Settings(), range);
    return true;
}

void ShownGridChanged(Application& app) {
    if (!app.probe) return;
    const DisplaySettings& settings = app.ShownPainter().Settings();
    app.probe->GridShown(app.ShownGrid(), settings, RangeOf(app.ShownGrid(), settings, app.pool));
}

void ShowMessage(const std::string& text, UINT icon) {
    bool ascii = true;
    for (const char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    if (ascii)
        MessageBoxA(nullptr, text.c_str(), kProgramName, MB_OK | icon);
    else
        MessageBoxW(nullptr, Utf16(text).c_str(), Utf16(kProgramName).c_str(), MB_OK | icon);
}

int ReportUnexpectedFailure(const std::string& reason) {
    // A quit the window's destruction asked for would close the box at once.
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    ShowMessage(std::string(kProgramName) + " cannot go on: " + reason, MB_ICONEXCLAMATION);
    return 1;
}

namespace {

LRESULT HandleMessage(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        // The application value handed to CreateWindowExA stays with the window.
        const CREATESTRUCTA* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    Application* const found = ApplicationOf(hWnd);
    if (found == nullptr) return DefWindowProcA(hWnd, msg, wParam, lParam);
    Application& app = *found;
    if (app.series) {
        // A key, a load or the clock may put another step on the screen.
        const Grid* shown = &app.ShownGrid();
        const bool handled = app.series->Handle(msg, wParam, lParam);
        if (app.series && &app.ShownGrid() != shown) ShownGridChanged(app);
        if (handled) return 0;
    }
    switch (msg) {
    case WM_DESTROY:
        app.series.reset();   // a load under way gives up
        app.watcher.reset();  // a load under way gives up
        app.picture.Release();
        app.grid = Grid();  // the block goes with the window
        PostQuitMessage(0);
        return 0;
    case WM_ERASEBKGND:
        // The paint covers the whole client area, starting from the same
        // light grey, so erasing first would only make resizing flicker.
        return 1;
    case WM_PAINT:
        PaintWindow(app, hWnd);
        return 0;
    case kReloadedMessage:
        TakeReload(app, hWnd);
        return 0;
    case WM_SIZE:
        if (app.probe) app.probe->Resize();
        break;
    case WM_MOUSEMOVE:
        if (app.probe)
            app.probe->PointerMoved(hWnd, app.ShownGrid(), app.ShownPainter().Settings(),
                                    GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        break;
    case WM_MOUSELEAVE:
        if (app.probe) app.probe->PointerLeft();
        break;
    case WM_KEYDOWN:
        if (app.probe && wParam == 'C' && GetKeyState(VK_CONTROL) < 0) {
            app.probe->Copy(hWnd);
            return 0;
        }
        break;
    case WM_COMMAND:
        if (wParam == IDM_ABOUT) DialogBoxParamA(app.instance, "AboutDlg", hWnd, AboutDlgProc, 0);
        return 0;
    }
    return DefWindowProcA(hWnd, msg, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // No exception may pass through the system's frames: the window goes,
    // and the program ends with a report and status 1.
    try {
        return HandleMessage(hWnd, msg, wParam, lParam);
    } catch (const std::exception& e) {
        DestroyWindow(hWnd);
        PostQuitMessage(ReportUnexpectedFailure(ExceptionReason(e)));
    } catch (...) {
        DestroyWindow(hWnd);
        PostQuitMessage(ReportUnexpectedFailure(kUnknownFailure));
    }
    return 0;
}

}  // namespace quorlane
