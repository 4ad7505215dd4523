// The loads of a series window.
#include "viewer/step_loader.h"

#include "common/failure.h"
#include "viewer/rules/watch.h"
#include "win/file_facts.h"

namespace quorlane {

namespace {

FileStamp StampOf(const std::string& path) {
    const std::optional<SizeAndTime> found = SizeAndTimeOf(path);
    return found ? FileStamp{true, found->size, found->writeTime} : FileStamp();
}

}  // namespace

LoadResult StepSettings::PainterOf(const std::string& path,
                                   std::shared_ptr<const FieldRowPainter>& painter) {
    const FileStamp stamp = StampOf(path);
    const auto known = read_.find(path);
    if (known != read_.end() && stamp.exists && known->second.stamp == stamp) {
        painter = known->second.painter;
        return LoadOk();
    }
    DisplaySettings settings;
    LoadResult r = LoadSettings(settings, path);
    if (!r.ok) {
        if (known != read_.end()) read_.erase(known);
        return r;
    }
    if (!anyRead_) shown_ = settings;
    anyRead_ = true;
    painter = std::make_shared<const FieldRowPainter>(ReloadedSettings(settings, shown_));
    read_[path] = {stamp, painter};
    return r;
}

LoadResult LoadStep(const InputFiles& files, WorkerPool& pool, StepSettings& settings,
                    GridTextBuffer* buffer, const std::atomic<bool>* stop, LoadedStep& step,
                    uint64_t& bytes) {
    // The grid first, then its settings: the reports come in the order of
    // a start-up's.
    GridLoadOptions options;
    options.buffer = buffer;
    options.stop = stop;
    LoadResult r = LoadGrid(step.grid, pool, files.gridPath, options);
    if (r.ok) r = settings.PainterOf(files.settingsPath, step.painter);
    if (!r.ok) step.grid = Grid();
    bytes = sizeof step + step.grid.cells.capacity() * sizeof(float);
    return r;
}

StepLoader::StepLoader(HWND window, StepSettings settings)
    : window_(window), settings_(std::move(settings)), thread_([this] { Run(); }) {}

StepLoader::~StepLoader() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    stop_ = true;
    wake_.notify_one();
    thread_.join();
}

void StepLoader::Start(const StepLoad& load) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_ = load;
        stop_ = false;
    }
    wake_.notify_one();
}

std::optional<StepLoader::Outcome> StepLoader::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<Outcome> taken = std::move(ready_);
    ready_.reset();
    return taken;
}

StepLoader::Outcome StepLoader::Load(const StepLoad& load) {
    Outcome outcome;
    outcome.id = load.id;
    // No exception may end the thread: a failure is that step's report.
    try {
        outcome.step = std::make_shared<LoadedStep>();
        outcome.result =
            LoadStep(load.files, pool_, settings_, &text_, &stop_, *outcome.step, outcome.bytes);
    } catch (const std::exception& e) {
        outcome.result = {false, ExceptionReason(e)};
    } catch (...) {
        outcome.result = {false, kUnknownFailure};
    }
    if (!outcome.result.ok) outcome.step.reset();  // no partial grid is kept
    return outcome;
}

void StepLoader::Run() {
    for (;;) {
        StepLoad load;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [this] { return quit_ || pending_.has_value(); });
            if (quit_) return;
            load = std::move(*pending_);
            pending_.reset();
        }
        Outcome outcome = Load(load);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (quit_) return;
            ready_ = std::move(outcome);
        }
        PostMessageW(window_, kStepLoadedMessage, 0, 0);
    }
}

}  // namespace quorlane
