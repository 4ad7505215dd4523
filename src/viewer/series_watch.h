#pragma once
// --watch with --series: a thread that follows the folders the series'
// paths name (their change notifications, and a look once a second for a
// folder that cannot be watched or a notification lost; every ten seconds
// for a series of more than 10,000 steps in watched folders), expands the paths
// again once the changes pause, and hands each listing that differs from the
// last to the window thread, which gives it to SeriesPlayer::Relisted.
#include <windows.h>

#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "data/series.h"

namespace quorlane {

// Sent to the window when a new listing is ready; the window calls Take.
constexpr UINT kRelistedMessage = WM_APP + 3;

class SeriesWatch {
  public:
    struct Listing {
        LoadResult result = LoadOk();
        std::vector<SeriesStep> steps;
    };

    // Follows `paths`, last listed as `listed`; listings go to `window`.
    SeriesWatch(HWND window, std::vector<std::string> paths, std::vector<SeriesStep> listed);
    ~SeriesWatch();
    SeriesWatch(const SeriesWatch&) = delete;
    SeriesWatch& operator=(const SeriesWatch&) = delete;

    // The latest listing not yet taken, if any.
    std::optional<Listing> Take();

  private:
    void Run();
    // Expands the paths; hands the listing over when it differs from the last.
    void Relist();

    const HWND window_;
    const std::vector<std::string> paths_;
    Listing last_;
    const HANDLE stop_;
    std::mutex mutex_;
    std::optional<Listing> ready_;
    std::thread thread_;  // last: starts once the rest is made
};

}  // namespace quorlane
