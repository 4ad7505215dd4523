// The playback schedule.
#include "viewer/rules/playback.h"

#include <algorithm>

namespace quorlane {

PlaybackSchedule::PlaybackSchedule(int fps) : fps_(std::max(fps, 1)) {}

void PlaybackSchedule::Start(int64_t now) {
    playing_ = true;
    start_ = now;
    shown_ = 0;
}

int64_t PlaybackSchedule::NextDue() const {
    return start_ + (shown_ + 1) * 1000 / fps_;
}

void PlaybackSchedule::Shown(int64_t now) {
    ++shown_;
    // Less than half a period left (2 × left × N < 1000 ms): start again
    // from this step.
    if (2 * (NextDue() - now) * fps_ < 1000) Start(now);
}

int64_t PlaybackSchedule::Wait(int64_t now) const {
    return playing_ ? std::max<int64_t>(0, NextDue() - now) : -1;
}

}  // namespace quorlane
