// The clock of a series that plays.
#include "viewer/play_clock.h"

namespace quorlane {

PlayClock::PlayClock(HWND window)
    : window_(window),
      timer_(CreateWaitableTimerW(nullptr, FALSE, nullptr)),
      stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      thread_([this] { Run(); }) {}

PlayClock::~PlayClock() {
    SetEvent(stop_);
    thread_.join();
    CloseHandle(stop_);
    if (timer_ != nullptr) CloseHandle(timer_);
}

void PlayClock::Set(int64_t ms) {
    LARGE_INTEGER due;
    due.QuadPart = -ms * 10000;  // relative, in 100 ns
    if (timer_ == nullptr || !SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE))
        PostMessageW(window_, kPlayClockMessage, 0, 0);  // without a timer: at once
}

void PlayClock::Cancel() {
    if (timer_ != nullptr) CancelWaitableTimer(timer_);
}

void PlayClock::Run() {
    const HANDLE events[2] = {stop_, timer_};
    while (WaitForMultipleObjects(timer_ != nullptr ? 2 : 1, events, FALSE, INFINITE) ==
           WAIT_OBJECT_0 + 1)
        PostMessageW(window_, kPlayClockMessage, 0, 0);
}

}  // namespace quorlane
