#pragma once
// The main window: the application value it shows, its window class, its
// creation and its window procedure. The program's entry
// function owns the application value, fills it and hands it to the main
// window when it makes it; the window procedure finds it through the window.
// The resize benchmark fills a value of its own and drives the same window.
#include <windows.h>

#include <memory>
#include <string>

#include "common/names.h"
#include "common/worker_pool.h"
#include "data/grid.h"
#include "data/settings.h"
#include "gdi/offscreen_picture.h"
#include "render/field_row.h"
#include "viewer/file_watcher.h"
#include "viewer/probe_bar.h"
#include "viewer/series_window.h"

namespace quorlane {

// Everything the main window holds while it lives: the module instance, the
// worker pool that loads and paints, the grid shown, the field row painter of
// the settings shown (their one holder), the off-screen picture, the window's
// title, in the watch mode the thread that follows the files, and in a series
// window the series.
// The pool comes first: it is made before the grid's block is allocated and
// is the last to go.
struct Application {
    explicit Application(HINSTANCE module) : instance(module) {}
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    HINSTANCE instance;
    WorkerPool pool{WorkerPool::CoreThreads()};
    Grid grid;
    // The painter of the settings shown, and their one holder.
    std::unique_ptr<FieldRowPainter> painter;
    OffscreenPicture picture;
    std::string title = kProgramName;
    std::unique_ptr<FileWatcher> watcher;  // made after the window, gone with it
    std::unique_ptr<ProbeBar> probe;       // --probe: the readout, made with the window
    // --series: the steps, their loads and keys; the picture shown is its
    // step's, not `grid`. Made after the window, gone with it.
    std::unique_ptr<SeriesWindow> series;

    const DisplaySettings& Settings() const { return painter->Settings(); }
    // The grid on the screen and the settings it is painted with: the series'
    // step, or `grid` with `Settings()`.
    const Grid& ShownGrid() const;
    const FieldRowPainter& ShownPainter() const;
};

// Registers the main window class; false if the platform refuses.
bool RegisterMainWindowClass(HINSTANCE instance);

// Creates the main window of `app` (grid and painter filled in) at
// the settings' size, centred in the full-screen client area, with the title
// "Quorlane" or `title`; null on failure. With `besideOthers`, where another
// main window of this program lies exactly there, it moves down and right by
// the caption's height until none does. The window keeps a pointer to `app`,
// which must outlive it.
HWND CreateMainWindow(Application& app, const std::string& title = std::string(),
                      bool besideOthers = false);

// With --probe: gives the main window `hWnd` its status bar (before it is
// shown), reading the grid shown, whose range the load gathered. False when
// the system cannot make it.
bool AddProbeBar(Application& app, HWND hWnd, const FieldRange& range);

// The window shows another grid (a reload, a step): the readout finds its
// range on the pool and reads it. Whatever swaps the grid shown calls this.
void ShownGridChanged(Application& app);

LRESULT CALLBACK MainWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam);

// A message box with no owner and the caption "Quorlane". ASCII texts take
// the narrow call, as every report without an argument always has; other
// characters (a path's) need the wide one.
void ShowMessage(const std::string& text, UINT icon);

// An exception that would end the program shown as a report with its
// reason; the exit status for it, 1. Called once the main window is gone.
int ReportUnexpectedFailure(const std::string& reason);

}  // namespace quorlane
