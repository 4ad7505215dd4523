#pragma once
// A series window's state, driven by its window thread: the steps, the one
// the user is at (the target), the one whose picture is on the screen, the
// step cache, the playback schedule and the growth of the series under
// --watch. Every call returns at once: the window never waits for a load.
//
// The window thread calls Key, GoTo and Tick for the user and the clock;
// after each call it asks NextLoad and hands what it gives to its loader
// thread when that is idle, and gives the outcome back with Loaded or
// Failed. After any call the picture (Picture) and the title (Title) may
// have changed. Times are milliseconds of a steady clock of the caller's.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/load_result.h"
#include "data/series.h"
#include "viewer/rules/playback.h"
#include "viewer/rules/series_navigation.h"
#include "viewer/rules/step_cache.h"

namespace quorlane {

struct SeriesTuning {
    uint64_t cacheBytes = 0;  // the step cache's budget
    int fps = 10;             // steps a second while playing
    // How many steps ahead are wanted while the series does not play, and
    // while it plays (at most as many as the budget holds). Playing, the
    // steps wanted move on with it, so a series that fits in the budget is
    // all kept after the first round; the bound keeps each frame's work on
    // the window thread small for long series of small steps.
    size_t aheadWhilePaused = 8;
    size_t aheadWhilePlaying = 256;
};

// A load for the loader thread: the step's id (to hand back) and its files.
struct StepLoad {
    StepId id;
    InputFiles files;
};

class SeriesPlayer {
  public:
    // `steps` holds at least one step.
    SeriesPlayer(std::vector<SeriesStep> steps, const SeriesTuning& tuning);

    // A key (or a wheel notch). A moving key keeps playing on from the step
    // it leads to; a step that failed is tried again when a key leads to it.
    void Key(SeriesKey key, int64_t now);
    // Ctrl+G: to step `index` (from 0).
    void GoTo(size_t index, int64_t now);
    // The clock: shows the next step when it is due while playing.
    void Tick(int64_t now);
    // How long the window may wait before it calls Tick: -1 for as long as
    // it likes (not playing, or the due step still loading).
    int64_t Wait(int64_t now) const;

    // The load to start now, or none (one at a time: none while one is under
    // way). The step is under way until Loaded, Failed or Abandoned.
    std::optional<StepLoad> NextLoad();
    // Whether the load under way is no longer worth finishing: it is not the
    // target's, and the target is neither kept nor failed (the window may
    // stop it, and then calls Abandoned).
    bool ShouldAbandon() const;
    void Abandoned(StepId id);
    // A load's outcome. `bytes` is what the payload holds in memory.
    void Loaded(StepId id, std::shared_ptr<const StepPayload> payload, uint64_t bytes, int64_t now);
    void Failed(StepId id, const std::string& message, int64_t now);

    // --watch: the series expanded again. New steps join in their order,
    // removed ones leave, a rewritten step (another stamp of its grid or
    // settings file) is loaded again. Paused on the last step, the window
    // follows to the new last; otherwise it stays on its step (or the next
    // one still there). A listing that fails, or finds no step, leaves the
    // series as it is, and the title says why until one succeeds.
    void Relisted(std::vector<SeriesStep> fresh, const LoadResult& listing, int64_t now);

    // The picture on the screen (null before the first step is loaded).
    const StepPayload* Picture() const { return displayed_.get(); }
    std::string Title() const;
    size_t Target() const { return target_; }
    size_t Count() const { return steps_.size(); }
    bool Playing() const { return schedule_.Playing(); }
    const SeriesStep& Step(size_t index) const { return steps_[index]; }
    // Whether step `index` is in the cache.
    bool Kept(size_t index) const { return cache_.Kept(ids_[index]); }
    const StepCache& Cache() const { return cache_; }

  private:
    void MoveTo(size_t index, int64_t now);
    // Whether the user sees the target: its picture, or its failure.
    bool TargetSeen() const;
    void Display(std::shared_ptr<const StepPayload> payload);
    // Shows the target if it is kept; whether the user now sees it.
    bool ShowTargetIfReady();
    void TargetSettled(int64_t now);
    void UpdateWanted();

    static constexpr size_t kNone = SIZE_MAX;
    std::vector<SeriesStep> steps_;
    std::vector<StepId> ids_;  // of each step
    StepId nextId_ = 0;
    SeriesTuning tuning_;
    StepCache cache_;
    PlaybackSchedule schedule_;
    size_t target_ = 0;
    bool forward_ = true;       // the direction of travel
    bool awaitingDue_ = false;  // playing: the due step is not on the screen yet
    // ... and the schedule starts again once it is (playing started, or a
    // key moved, while the target was not on the screen)
    bool restartWhenSeen_ = false;
    uint64_t estimate_ = 0;  // the bytes of the last step loaded
    std::optional<StepId> underWay_;
    std::shared_ptr<const StepPayload> displayed_;
    size_t displayedAt_ = kNone;  // its step, while it is in the series
    std::optional<StepId> displayedId_;
    std::string listingFailure_;
    // The wanted steps' ids and places, nearest first (reused for every
    // UpdateWanted).
    std::vector<StepId> wanted_;
    std::vector<size_t> wantedSteps_;
};

}  // namespace quorlane
