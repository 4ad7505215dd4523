// The watch mode's schedule on event sequences with a fake clock: bursts
// coalesced, changes during a load, failures, the once-a-second check, the
// title, and which settings and file names count.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "data/watch.h"

namespace {

// The grid file's stamps after `changes` writes.
InputStamps After(int changes) {
    InputStamps s;
    s.grid = {true, uint64_t(100 + changes), uint64_t(changes)};
    s.settings = {true, 50, 0};
    return s;
}

struct Outcome {
    std::vector<int64_t> loads;  // when each load started
    std::string failure;         // the schedule's at the end
};

// Drives a schedule one ms at a time up to `end`: a notification at each time
// of `notes`, a write without one at each time of `silent` (the check must find
// it), every load `loadMs` long and failing when `fails` says so for its index.
Outcome Drive(const std::vector<int64_t>& notes, int64_t loadMs, int64_t end,
              const std::vector<int64_t>& silent = {}, std::vector<bool> fails = {}) {
    ReloadSchedule schedule(0, After(0));
    Outcome run;
    int64_t loadEnds = -1;
    for (int64_t t = 0; t <= end; ++t) {
        int writes =
            int(std::count_if(notes.begin(), notes.end(), [t](int64_t n) { return n <= t; }) +
                std::count_if(silent.begin(), silent.end(), [t](int64_t n) { return n <= t; }));
        if (std::count(notes.begin(), notes.end(), t) > 0) schedule.Notified(t);
        if (t == loadEnds) {
            const size_t k = run.loads.size() - 1;
            schedule.LoadFinished(k < fails.size() && fails[k] ? LoadFailure(kErrorReading, "g.dat")
                                                               : LoadOk());
        }
        if (schedule.CheckDue(t)) schedule.Checked(t, After(writes));
        if (schedule.LoadDue(t)) {
            EXPECT_LE(schedule.Wait(t), 0);
            schedule.LoadStarted(After(writes));
            run.loads.push_back(t);
            loadEnds = t + loadMs;
        }
    }
    run.failure = schedule.Failure();
    return run;
}

constexpr int64_t Q = ReloadSchedule::kQuietMs;

TEST(Watch, LoadsFollowTheChanges) {
    std::vector<int64_t> burst;  // fifty writes 5 ms apart
    for (int k = 0; k < 50; ++k) burst.push_back(100 + 5 * k);
    const struct {
        const char* what;
        std::vector<int64_t> notes, silent;
        int64_t loadMs;
        std::vector<int64_t> loads;
    } rows[] = {
        {"nothing changes", {}, {}, 10, {}},
        {"one write", {100}, {}, 10, {100 + Q}},
        {"a burst is one load after it", burst, {}, 10, {345 + Q}},
        {"a change during a load: one more after it", {100, 160}, {}, 100, {100 + Q, 200 + Q}},
        {"many changes during a load: one more",
         {100, 110 + Q, 120 + Q, 130 + Q, 140 + Q},
         {},
         100,
         {100 + Q, 200 + Q}},
        {"changes after a load: their own", {100, 300}, {}, 10, {100 + Q, 300 + Q}},
        {"the check in a quiet moment adds no wait", {990}, {}, 10, {990 + Q}},
        {"a write without notification: found by the check", {}, {500}, 10, {1000 + Q}},
        {"the check finds a change made during a load", {100}, {150}, 100, {100 + Q, 1000 + Q}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Drive(row.notes, row.loadMs, 3000, row.silent).loads, row.loads) << row.what;
}

TEST(Watch, AFailedLoadIsNamedUntilAGoodOne) {
    // Half-written, then finished two seconds later.
    Outcome run = Drive({100, 2100}, 10, 3000, {}, {true});
    EXPECT_EQ(run.loads, (std::vector<int64_t>{100 + Q, 2100 + Q}));
    EXPECT_EQ(run.failure, "");
    run = Drive({100}, 10, 3000, {}, {true});
    EXPECT_EQ(run.loads, std::vector<int64_t>{100 + Q});  // the same files are not read again
    EXPECT_EQ(run.failure, "Error reading \"g.dat\"");
    EXPECT_EQ(WatchTitle("run42 - Quorlane", run.failure),
              "run42 - Quorlane (not updated: Error reading \"g.dat\")");
    EXPECT_EQ(WatchTitle("Quorlane", ""), "Quorlane");
}

TEST(Watch, WaitsNoLongerThanTheNextDecision) {
    ReloadSchedule s(0, After(0));
    EXPECT_EQ(s.Wait(0), ReloadSchedule::kCheckMs);
    s.Notified(500);
    EXPECT_EQ(s.Wait(510), ReloadSchedule::kQuietMs - 10);
    s.LoadStarted(After(1));
    EXPECT_EQ(s.Wait(600), ReloadSchedule::kCheckMs - 600);  // loading: only the check
    s.Notified(700);                                         // one more wanted after the load
    s.LoadFinished(LoadOk());
    EXPECT_EQ(s.Wait(800), 0);
}

TEST(Watch, NewSettingsKeepTheWindowSize) {
    DisplaySettings shown, loaded;
    shown.windowWidth = 800, shown.windowHeight = 600;
    loaded.windowWidth = 300, loaded.windowHeight = 200, loaded.palette = 1, loaded.scaleMax = 7;
    const DisplaySettings s = ReloadedSettings(loaded, shown);
    EXPECT_EQ(s.windowWidth, 800);
    EXPECT_EQ(s.windowHeight, 600);
    EXPECT_EQ(s.palette, 1);
    EXPECT_EQ(s.scaleMax, 7);
}

TEST(Watch, NamesOfTheInputFiles) {
    const InputFiles files = InputsOf("runs/Step_0017.dat", false, PathStyle::Posix);
    const struct {
        const char* changed;
        bool input;
    } rows[] = {{"step_0017.dat", true},   {"STEP_0017.DAT", true},
                {"quorlane.ini", true},    {"Quorlane.INI", true},
                {"step_0018.dat", false},  {"quorlane.dat", false},
                {"~step_0017.tmp", false}, {"", false}};
    for (const auto& row : rows)
        EXPECT_EQ(NamesAnInputFile(row.changed, files, PathStyle::Posix), row.input) << row.changed;
}

}  // namespace
