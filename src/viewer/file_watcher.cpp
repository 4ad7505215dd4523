// The watch mode's thread: the stamp check, the loads and the hand-over.
#include "viewer/file_watcher.h"

#include <optional>
#include <utility>
#include <vector>

#include "common/failure.h"
#include "common/paths.h"
#include "common/worker_pool.h"
#include "win/file_facts.h"
#include "win/folder_watch.h"

namespace quorlane {

namespace {

FileStamp StampOf(const std::string& path) {
    FileStamp stamp;
    const std::optional<SizeAndTime> found = SizeAndTimeOf(path);
    if (!found) return stamp;
    stamp.exists = true;
    stamp.size = found->size;
    stamp.writeTime = found->writeTime;
    return stamp;
}

// The system's clock in milliseconds, which the schedule counts in.
int64_t TickMilliseconds() {
    return int64_t(GetTickCount64());
}

}  // namespace

InputStamps ReadStamps(const InputFiles& inputs) {
    return {StampOf(inputs.gridPath), StampOf(inputs.settingsPath)};
}

FileWatcher::FileWatcher(HWND window, const InputFiles& inputs, const InputStamps& loaded,
                         const DisplaySettings& shown)
    : window_(window),
      inputs_(inputs),
      loaded_(loaded),
      shown_(shown),
      wake_(CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      thread_([this] { Run(); }) {}

FileWatcher::~FileWatcher() {
    stop_ = true;
    SetEvent(wake_);
    thread_.join();
    CloseHandle(wake_);
}

std::unique_ptr<Reload> FileWatcher::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::move(ready_);
}

void FileWatcher::Taken() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handing_ = false;
    }
    SetEvent(wake_);
}

void FileWatcher::Run() {
    // No exception may end the thread (and with it the program): a failure
    // of its own ends the watch, and the title says why.
    std::string reason;
    try {
        Follow();
        return;
    } catch (const std::exception& e) {
        reason = ExceptionReason(e);
    } catch (...) {
        reason = kUnknownFailure;
    }
    try {
        auto reload = std::make_unique<Reload>();
        reload->result = {false, "watching stopped: " + reason};
        Hand(std::move(reload));
    } catch (...) {
        // without memory even for that, the title stays as it was
    }
}

bool FileWatcher::Hand(std::unique_ptr<Reload> reload) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ready_ = std::move(reload);
        handing_ = true;
    }
    return PostMessageW(window_, kReloadedMessage, 0, 0) != 0;  // false: the window is gone
}

void FileWatcher::Follow() {
    // The folder as "." inside it: the system opens "run42\." and "." where
    // "run42\" (a separator at the end) may be refused. The schedule's
    // once-a-second check stands in where it cannot be watched.
    FolderWatch changes(FolderOf(inputs_.gridPath, kSystemPathStyle) + ".");
    const auto namesAnInput = [&](const std::string& name) {
        return NamesAnInputFile(name, inputs_);
    };
    ReloadSchedule schedule(TickMilliseconds(), loaded_);
    WorkerPool pool(WorkerPool::CoreThreads());
    GridTextBuffer text;  // kept from one load to the next
    while (!stop_) {
        const int64_t now = TickMilliseconds();
        if (schedule.CheckDue(now)) {
            changes.Renew();  // before the stamps: a change after them is notified
            schedule.Checked(now, ReadStamps(inputs_));
        }
        bool handing;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            handing = handing_;
        }
        if (!handing && schedule.LoadDue(now)) {
            schedule.LoadStarted(ReadStamps(inputs_));
            auto reload = std::make_unique<Reload>();
            GridLoadOptions options;
            options.buffer = &text;
            options.stop = &stop_;
            try {
                DisplaySettings settings;
                reload->result = LoadInputs(inputs_, pool, reload->grid, settings, options,
                                            SettingsOpened::BeforeTheGrid);
                if (reload->result.ok)
                    reload->painter =
                        std::make_unique<FieldRowPainter>(ReloadedSettings(settings, shown_));
            } catch (const std::exception& e) {
                reload->result = {false, ExceptionReason(e)};
            }
            if (stop_) break;
            schedule.LoadFinished(reload->result);
            if (!reload->result.ok) reload->grid = Grid();
            if (!Hand(std::move(reload))) break;
            continue;
        }
        // While an outcome is with the window only the check and the
        // notifications go on; the wake event ends the wait once it is taken.
        const HANDLE events[2] = {wake_, changes.Event()};
        const DWORD wait = DWORD(handing && schedule.LoadDue(now)
                                     ? INFINITE
                                     : std::min<int64_t>(schedule.Wait(now), INT32_MAX));
        const DWORD woke =
            WaitForMultipleObjects(events[1] != nullptr ? 2 : 1, events, FALSE, wait);
        if (woke == WAIT_OBJECT_0 + 1 && changes.Arrived(namesAnInput))
            schedule.Notified(TickMilliseconds());
    }
}

}  // namespace quorlane
