#pragma once
// The watch mode's thread: it follows the folder of the window's two files
// and loads them again when they change, on a worker pool of its own, and
// hands each outcome to the window thread, which swaps it in. The schedule
// (when to load, what the title says) is data/watch; this is its clock, its
// notifications, its stamps and its loads.
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "data/grid.h"
#include "data/grid_loader.h"
#include "data/inputs.h"
#include "data/settings.h"
#include "render/field_row.h"
#include "viewer/rules/watch.h"

using quorlane::DisplaySettings;
using quorlane::FieldRowPainter;
using quorlane::Grid;
using quorlane::GridLoadOptions;
using quorlane::InputFiles;
using quorlane::InputStamps;
using quorlane::LoadOk;
using quorlane::LoadResult;
using quorlane::WorkerPool;

// Sent to the window when a reload has an outcome; the window calls
// FileWatcher::Take, and Taken once the grid it replaced is gone.
constexpr UINT kReloadedMessage = WM_APP + 1;

// The outcome of one reload: on success the new grid, settings and painter;
// else why (the viewer's failure report) and nothing else.
struct Reload {
    LoadResult result = LoadOk();
    Grid grid;
    DisplaySettings settings;
    std::unique_ptr<FieldRowPainter> painter;
};

// The stamps of the two files now.
InputStamps ReadStamps(const InputFiles& inputs);

// LoadInputs with each file opened with every sharing allowed, deleting
// included, so that a writer that removes a file being read is not refused
// (the C runtime's opening refuses it). A rename over a file being read
// still waits for the load, as the system allows no more.
// `settingsOpened` says when a settings file that cannot be opened is found:
// after the grid is read, as LoadInputs finds it (start-up, whose reports
// are those without --watch), or before (a reload: the retry once a second
// while a file cannot be opened then reads no grid).
enum class SettingsOpened { AfterTheGrid, BeforeTheGrid };
LoadResult LoadInputsShared(const InputFiles& inputs, WorkerPool& pool, Grid& grid,
                            DisplaySettings& settings, const GridLoadOptions& options = {},
                            SettingsOpened settingsOpened = SettingsOpened::AfterTheGrid);

class FileWatcher {
  public:
    // Starts following `inputs`, last loaded when their stamps were
    // `loaded`; outcomes go to `window`.
    FileWatcher(HWND window, const InputFiles& inputs, const InputStamps& loaded);
    // Stops the thread: a load under way gives up within one piece of text.
    ~FileWatcher();
    FileWatcher(const FileWatcher&) = delete;
    FileWatcher& operator=(const FileWatcher&) = delete;

    // The outcome the last kReloadedMessage announced (null when there is
    // none). No further load starts until Taken: with the grid shown and the
    // one loading, at most two grids live at once.
    std::unique_ptr<Reload> Take();
    void Taken();

  private:
    void Run();
    void Follow();
    // Puts an outcome in the hand-over slot and tells the window; false
    // when the window is gone.
    bool Hand(std::unique_ptr<Reload> reload);

    const HWND window_;
    const InputFiles inputs_;
    const InputStamps loaded_;
    std::atomic<bool> stop_{false};
    HANDLE wake_;  // set to stop the thread or when an outcome was taken
    std::mutex mutex_;
    std::unique_ptr<Reload> ready_;  // posted, not yet taken
    bool handing_ = false;           // an outcome is with the window
    std::thread thread_;             // last: starts once the rest is made
};
