#pragma once
// The one statement of the main window's frame: its class name, style and
// menu. The viewer makes its window from it, and the exporter takes the
// client area of a window of the settings' size from it, so that both always
// agree on where the picture is.
#include <windows.h>

namespace quorlane {
struct DisplaySettings;
}
using quorlane::DisplaySettings;

// The main window's class; other copies of the viewer find its windows by it.
constexpr char kMainWindowClass[] = "QuorlaneClass";
// Its style: an overlapped window with a caption, a sizing border and the
// system menu's boxes.
constexpr DWORD kMainWindowStyle = WS_OVERLAPPEDWINDOW;
// Its menu bar, the resource "QuorlaneMenu" (Help > About...).
constexpr char kMainWindowMenu[] = "QuorlaneMenu";

// The client area of a main window of the settings' size: the size less the
// frame, caption and menu bar on this system, each side at least 0.
void MainWindowClientSize(const DisplaySettings& settings, int& width, int& height);
