#pragma once
// The watch mode's thread: it follows the folder of the window's two files
// and loads them again when they change, on a worker pool of its own, and
// hands each outcome to the window thread, which swaps it in. The schedule
// (when to load, what the title says) is data/watch and the folder's
// notifications win/folder_watch; this is the reload policy: when to check
// the stamps, when to load, and the hand-over.
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

namespace quorlane {
// Sent to the window when a reload has an outcome; the window calls
// FileWatcher::Take, and Taken once the grid it replaced is gone.
constexpr UINT kReloadedMessage = WM_APP + 1;

// The outcome of one reload: on success the new grid and the painter of the
// new settings (the window's size kept); else why (the viewer's failure
// report) and nothing else.
struct Reload {
    LoadResult result = LoadOk();
    Grid grid;
    std::unique_ptr<FieldRowPainter> painter;
};

// The stamps of the two files now.
InputStamps ReadStamps(const InputFiles& inputs);

class FileWatcher {
  public:
    // Starts following `inputs`, last loaded when their stamps were
    // `loaded` and shown with the settings `shown`; outcomes go to `window`.
    FileWatcher(HWND window, const InputFiles& inputs, const InputStamps& loaded,
                const DisplaySettings& shown);
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
    const DisplaySettings shown_;  // a reload keeps their window size
    std::atomic<bool> stop_{false};
    HANDLE wake_;  // set to stop the thread or when an outcome was taken
    std::mutex mutex_;
    std::unique_ptr<Reload> ready_;  // posted, not yet taken
    bool handing_ = false;           // an outcome is with the window
    std::thread thread_;             // last: starts once the rest is made
};

}  // namespace quorlane
