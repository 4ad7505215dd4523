#pragma once
// When the next step is due while a series plays. Times are milliseconds of
// a steady clock of the caller's. At N steps a second step k after the
// start is due at start + k × 1000 / N (whole milliseconds, so the rate does
// not drift). No step is skipped: the caller asks for the due step and says
// when it is on the screen (or known to fail); a step that came late moves
// the schedule on, rather than hurrying the next ones.
#include <cstdint>

namespace quorlane {

class PlaybackSchedule {
  public:
    explicit PlaybackSchedule(int fps);

    // Playing starts at `now`: the first step is due a period later.
    void Start(int64_t now);
    void Stop() { playing_ = false; }
    bool Playing() const { return playing_; }

    // Whether the next step is due (the caller then asks for it and calls
    // Shown once it is on the screen).
    bool Due(int64_t now) const { return playing_ && now >= NextDue(); }
    int64_t NextDue() const;
    // The step that was due is on the screen at `now`. The next is due a
    // period after this one was; when that is less than half a period from
    // `now` (this one came late), a period after `now`.
    void Shown(int64_t now);

    // How long the caller may wait before it asks again: 0 when due, -1
    // when not playing.
    int64_t Wait(int64_t now) const;

  private:
    int fps_;
    bool playing_ = false;
    int64_t start_ = 0;  // when step 0 of this run of the schedule was shown
    int64_t shown_ = 0;  // the steps shown since start_
};

}  // namespace quorlane
