#pragma once
// The main window: the application value it shows, its window class, its
// creation, its window procedure and the About box. The program's entry
// function fills the application value and runs the message loop; the
// resize benchmark fills it with its own field and drives the same window.
#include <windows.h>

#include <memory>

#include "app/picture.h"
#include "data/grid.h"
#include "data/settings.h"
#include "render/field_row.h"

// Everything the main window holds while it lives: the module instance, the
// grid and the settings read at start-up, the field row painter made from
// those settings, and the off-screen picture.
struct Application {
    HINSTANCE instance = nullptr;
    Grid grid;
    DisplaySettings settings;
    std::unique_ptr<FieldRowPainter> rows;
    OffscreenPicture picture;
};

// The one application value of the process. The grid, the settings and the
// row painter are filled in before the main window is made.
Application& TheApplication();

// Registers the main window class; false if the platform refuses.
bool RegisterMainWindowClass(HINSTANCE instance);

// Creates the main window at the settings' size, centred in the full-screen
// client area, and remembers `instance` for the About box; null on failure.
HWND CreateMainWindow(HINSTANCE instance);

LRESULT CALLBACK MainWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);
