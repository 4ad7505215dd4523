#pragma once
// The loads of a series window: one step's grid and the painter of its
// settings, on a thread of the window's own with a worker pool of its own.
// The window thread hands it one load at a time (SeriesPlayer::NextLoad) and
// takes the outcome when kStepLoadedMessage comes; it never waits for a
// load, and may stop the one under way.
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>

#include "common/worker_pool.h"
#include "data/file_stamp.h"
#include "data/grid.h"
#include "data/grid_loader.h"
#include "data/settings.h"
#include "render/field_row.h"
#include "viewer/rules/series_player.h"

namespace quorlane {

// Sent to the window when a load has an outcome; the window calls
// StepLoader::Take.
constexpr UINT kStepLoadedMessage = WM_APP + 2;

// A loaded step as the window shows it: its grid and the painter of its
// settings, shared by the steps of one folder while its settings file stays
// as it was.
struct LoadedStep : StepPayload {
    Grid grid;
    std::shared_ptr<const FieldRowPainter> painter;
};

// The settings files read so far, each with the stamp it had when read: a
// folder's settings are read once, and again when the file changes. The
// first settings read give the window's size, which every later painter
// keeps.
class StepSettings {
  public:
    // The painter of the settings file `path`, or why it cannot be read.
    LoadResult PainterOf(const std::string& path, std::shared_ptr<const FieldRowPainter>& painter);
    // The first settings read.
    const DisplaySettings& Shown() const { return shown_; }

  private:
    struct Read {
        FileStamp stamp;
        std::shared_ptr<const FieldRowPainter> painter;
    };
    std::unordered_map<std::string, Read> read_;
    DisplaySettings shown_;
    bool anyRead_ = false;
};

// Loads the step `files` into `step` (the grid, read into `buffer` when one
// is given, then its settings); `bytes` is what it holds in memory.
// Once `stop` is set the grid's load gives up before its next piece.
LoadResult LoadStep(const InputFiles& files, WorkerPool& pool, StepSettings& settings,
                    GridTextBuffer* buffer, const std::atomic<bool>* stop, LoadedStep& step,
                    uint64_t& bytes);

class StepLoader {
  public:
    // What a load gave: on success the step and its bytes, else why.
    struct Outcome {
        StepId id = 0;
        LoadResult result = LoadOk();
        std::shared_ptr<LoadedStep> step;
        uint64_t bytes = 0;
    };

    // Outcomes go to `window`; `settings` are those read before (the first
    // step's).
    StepLoader(HWND window, StepSettings settings);
    // Stops the thread: a load under way gives up within one piece of text.
    ~StepLoader();
    StepLoader(const StepLoader&) = delete;
    StepLoader& operator=(const StepLoader&) = delete;

    // Starts a load; the loader is idle (the last outcome was taken).
    void Start(const StepLoad& load);
    // The load under way gives up; its outcome still comes.
    void Stop() { stop_ = true; }
    // The outcome the last kStepLoadedMessage announced, if any.
    std::optional<Outcome> Take();

  private:
    void Run();
    Outcome Load(const StepLoad& load);

    const HWND window_;
    StepSettings settings_;  // the thread's alone once it runs
    WorkerPool pool_{WorkerPool::CoreThreads()};
    GridTextBuffer text_;  // kept from one load to the next
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool quit_ = false;
    std::optional<StepLoad> pending_;
    std::optional<Outcome> ready_;
    std::thread thread_;  // last: starts once the rest is made
};

}  // namespace quorlane
