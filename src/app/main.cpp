// The Quorlane Windows program: start-up and the message loop.
#include <windows.h>

#include <memory>

#include "app/window.h"
#include "data/startup.h"

namespace {

// The start-up failure report: a warning box with no owner.
int StartupFailure(const char* message, int status) {
    MessageBoxA(nullptr, message, "Quorlane", MB_OK | MB_ICONEXCLAMATION);
    return status;
}

}  // namespace

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpszCmdLine, int nCmdShow) {
    (void)lpszCmdLine;
    Application& app = TheApplication();
    StartupResult r = LoadGrid(app.grid);
    if (!r.ok) return StartupFailure(r.message, r.status);
    r = LoadSettings(app.settings);
    if (!r.ok) {
        app.grid = Grid();
        return StartupFailure(r.message, r.status);
    }
    app.rows = std::make_unique<FieldRowPainter>(app.settings);

    if (!hPrevInstance && !RegisterMainWindowClass(hInstance)) {
        app.grid = Grid();
        return StartupFailure("Cannot create the main window", 1);
    }
    HWND hWnd = CreateMainWindow(hInstance);
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
