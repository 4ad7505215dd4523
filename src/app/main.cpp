// The Quorlane Windows program: start-up and the message loop.
#include <windows.h>

#include <memory>

#include "app/window.h"
#include "data/grid_loader.h"
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
    // The application value lives as long as the program: the main window
    // holds a pointer to it and the message loop runs inside this function.
    Application app(hInstance);
    StartupResult r = LoadGrid(app.grid, app.pool);
    if (r.ok) r = LoadSettings(app.settings);
    if (!r.ok) return StartupFailure(r.message.c_str(), r.status);
    app.painter = std::make_unique<FieldRowPainter>(app.settings);

    if (!hPrevInstance && !RegisterMainWindowClass(hInstance))
        return StartupFailure("Cannot create the main window", 1);
    HWND hWnd = CreateMainWindow(app);
    if (!hWnd) return StartupFailure("Cannot create the main window", 1);
    ShowWindow(hWnd, nCmdShow);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
