#pragma once
// The clock of a series that plays: a waitable timer and a thread that posts
// kPlayClockMessage to the window when it is due. A window timer would do
// the same in steps of 10 ms or more, and its message waits behind every
// other; at 60 steps a second that is most of a period.
#include <windows.h>

#include <cstdint>
#include <thread>

namespace quorlane {

constexpr UINT kPlayClockMessage = WM_APP + 4;

class PlayClock {
  public:
    explicit PlayClock(HWND window);
    ~PlayClock();
    PlayClock(const PlayClock&) = delete;
    PlayClock& operator=(const PlayClock&) = delete;

    // One kPlayClockMessage `ms` milliseconds from now, in place of any set before.
    void Set(int64_t ms);
    // None until the next Set (one already posted may still come).
    void Cancel();

  private:
    void Run();

    const HWND window_;
    const HANDLE timer_;
    const HANDLE stop_;
    std::thread thread_;  // last: starts once the rest is made
};

}  // namespace quorlane
