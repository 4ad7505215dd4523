#pragma once
// The window thread's part of a series window: the Step menu, the keys, the
// wheel and Ctrl+G, the playing clock (PlayClock), and the hand-over of
// loads and listings. The main window's procedure passes it its messages;
// everything it decides is SeriesPlayer's (viewer/rules/series_player).
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "viewer/play_clock.h"
#include "viewer/rules/series_player.h"
#include "viewer/series_watch.h"
#include "viewer/step_loader.h"

namespace quorlane {

class SeriesWindow {
  public:
    // Drives `player` (its first step loaded) in `window`; loads start on a
    // StepLoader that takes `settings` (those read so far). With `watch` the
    // series' `paths` are followed from the listing `listed`.
    SeriesWindow(HWND window, HINSTANCE instance, std::unique_ptr<SeriesPlayer> player,
                 StepSettings settings, bool watch, std::vector<std::string> paths,
                 std::vector<SeriesStep> listed);
    // Stops the loader and the watch at once.
    ~SeriesWindow();
    SeriesWindow(const SeriesWindow&) = delete;
    SeriesWindow& operator=(const SeriesWindow&) = delete;

    // A message of the main window: true when it was the series' own.
    bool Handle(UINT msg, WPARAM wParam, LPARAM lParam);
    // The step on the screen (never null: the first step is loaded first).
    const LoadedStep& Picture() const;

  private:
    void Act(SeriesKey key, int count = 1);
    void AskForStep();
    // After each call on the player: starts or stops a load, repaints when
    // the picture changed, sets the title and the clock.
    void Update();

    const HWND window_;
    const HINSTANCE instance_;
    std::unique_ptr<SeriesPlayer> player_;
    const StepPayload* shown_ = nullptr;  // the picture last painted
    std::string title_;
    int wheel_ = 0;          // a wheel's turn not yet a whole notch
    bool stopping_ = false;  // the load under way was asked to stop
    StepLoader loader_;
    PlayClock clock_;
    std::unique_ptr<SeriesWatch> watch_;  // last: gone first
};

// A steady clock in milliseconds, which the player counts in.
int64_t SeriesClock();

}  // namespace quorlane
