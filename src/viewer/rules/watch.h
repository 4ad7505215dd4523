#pragma once
// Following the two input files while the window shows them (--watch):
// which change causes which load, how changes are taken together, and what
// the title says. Portable: the caller brings the clock, the folder's change
// notifications and the files' stamps, and does the loading.
#include <cstdint>
#include <string>

#include "data/file_stamp.h"
#include "data/inputs.h"
#include "data/load_result.h"
#include "data/settings.h"

namespace quorlane {

// The stamps of the grid file and of the settings file.
struct InputStamps {
    FileStamp grid, settings;
    bool operator==(const InputStamps& o) const { return grid == o.grid && settings == o.settings; }
    bool operator!=(const InputStamps& o) const { return !(*this == o); }
};

// When to load. Times are milliseconds of a steady clock of the caller's.
// A notification is only a hint that something changed: a file being
// written sends them in bursts, so a load starts once they have stopped for
// kQuietMs, and what the load reads decides what is shown; a writer that
// never pauses still gets a load kLatestMs after the first change the
// picture does not show. Changes during a load cause exactly one more load
// after it. The stamps are also compared every kCheckMs, for folders whose
// notifications never come; while the last load could not open a file, the
// check loads again whatever the stamps say (a writer may hold a file
// without sharing it and let go without changing it).
class ReloadSchedule {
  public:
    static constexpr int64_t kQuietMs = 25;
    static constexpr int64_t kLatestMs = 200;
    static constexpr int64_t kCheckMs = 1000;

    // After the start-up load, at `now`, of files whose stamps were `loaded`.
    ReloadSchedule(int64_t now, const InputStamps& loaded);

    // A notification that either file changed, or that the folder lost count.
    void Notified(int64_t now);
    // Whether the stamps are due to be compared; the caller reads them and
    // hands them to Checked.
    bool CheckDue(int64_t now) const { return now - lastCheck_ >= kCheckMs; }
    void Checked(int64_t now, const InputStamps& stamps);
    // Whether a load is to start now. The caller reads the stamps just before
    // it and hands them to LoadStarted, and the outcome to LoadFinished.
    bool LoadDue(int64_t now) const {
        return pending_ && !loading_ &&
               (now - lastHint_ >= kQuietMs || now - firstHint_ >= kLatestMs);
    }
    void LoadStarted(const InputStamps& stamps);
    void LoadFinished(const LoadResult& result);
    // How long the caller may wait for a notification before it asks again.
    int64_t Wait(int64_t now) const;

    bool Loading() const { return loading_; }
    // The last load's failure report while the picture is older than the
    // files, else empty.
    const std::string& Failure() const { return failure_; }

  private:
    InputStamps loaded_;    // as read before the last load began
    int64_t firstHint_;     // when the first change not yet taken by a load was noticed
    int64_t lastHint_;      // when the last change was noticed
    int64_t lastCheck_;     // when the stamps were last compared
    bool pending_ = false;  // a change not yet taken by a load
    bool loading_ = false;
    bool unopened_ = false;  // the last load could not open a file
    std::string failure_;
};

// The title while watching: `title` as it is, or with why the picture is
// older than the files, e.g. `run42 - Quorlane (not updated: Error reading
// "runs/run42/quorlane.dat")`.
std::string WatchTitle(const std::string& title, const std::string& failure);

// The settings a reload shows: all of `loaded` except the window size,
// which stays `shown`'s (the window keeps the size the user gave it).
DisplaySettings ReloadedSettings(DisplaySettings loaded, const DisplaySettings& shown);

// Whether `changed`, a file name that a change notification of the files'
// folder gives, is the grid file's or the settings file's, with the letters
// A to Z in either case.
bool NamesAnInputFile(const std::string& changed, const InputFiles& inputs,
                      PathStyle style = kSystemPathStyle);

}  // namespace quorlane
