// The watch mode's schedule on event sequences with a fake clock: bursts
// coalesced, the limit for a writer that never pauses, changes during a load,
// failures and files that could not be opened, the once-a-second check, and
// which file names count.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "viewer/rules/watch.h"

namespace quorlane {

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
// it), every load `loadMs` long; the k-th load fails with reasons[k] where it
// names one (kCannotOpen: a file could not be opened).
Outcome Drive(const std::vector<int64_t>& notes, int64_t loadMs, int64_t end,
              const std::vector<int64_t>& silent = {},
              const std::vector<const char*>& reasons = {}) {
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
            schedule.LoadFinished(k < reasons.size() && reasons[k] != nullptr
                                      ? LoadFailure(reasons[k], "g.dat")
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

// Writes every `every` ms from `from` to `to`.
std::vector<int64_t> Steady(int64_t from, int64_t to, int64_t every) {
    std::vector<int64_t> times;
    for (int64_t t = from; t <= to; t += every) times.push_back(t);
    return times;
}

constexpr int64_t Q = ReloadSchedule::kQuietMs, L = ReloadSchedule::kLatestMs;

TEST(Watch, LoadsFollowTheChanges) {
    const struct {
        const char* what;
        std::vector<int64_t> notes, silent;
        int64_t loadMs;
        std::vector<int64_t> loads;
    } rows[] = {
        {"nothing changes", {}, {}, 10, {}},
        {"one write", {100}, {}, 10, {100 + Q}},
        {"a burst within the limit is one load after it", Steady(100, 250, 5), {}, 10, {250 + Q}},
        {"a longer burst: a load at the limit, one after it",
         Steady(100, 345, 5),
         {},
         10,
         {100 + L, 345 + Q}},
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

// A writer that never pauses (a rename every 10 ms): every step is shown at the latest one load
// plus the limit after it is written (a load that starts at t reads the writes up to t).
TEST(Watch, ASteadyWriterIsFollowed) {
    for (const int64_t loadMs : {5, 30, 150}) {
        const std::vector<int64_t> writes = Steady(100, 5000, 10);
        const Outcome run = Drive(writes, loadMs, 6000);
        for (const int64_t w : writes) {
            const auto shown = std::lower_bound(run.loads.begin(), run.loads.end(), w);
            ASSERT_NE(shown, run.loads.end()) << "write at " << w << ", loads of " << loadMs;
            ASSERT_LE(*shown + loadMs - w, L + loadMs)
                << "write at " << w << ", loads of " << loadMs;
        }
    }
}

TEST(Watch, AFailedLoadIsNamedUntilAGoodOne) {
    // Half-written, then finished two seconds later.
    Outcome run = Drive({100, 2100}, 10, 3000, {}, {kErrorReading});
    EXPECT_EQ(run.loads, (std::vector<int64_t>{100 + Q, 2100 + Q}));
    EXPECT_EQ(run.failure, "");
    run = Drive({100}, 10, 3000, {}, {kErrorReading});
    EXPECT_EQ(run.loads, std::vector<int64_t>{100 + Q});  // the same files are not read again
    EXPECT_EQ(run.failure, "Error reading \"g.dat\"");
}

// A file that could not be opened (held without sharing, not readable for a moment) may open
// later without a change of its stamps: each check tries again until a load opens it.
TEST(Watch, AFileThatCouldNotBeOpenedIsTriedAgain) {
    const auto open = kCannotOpen;
    const struct {
        const char* what;
        std::vector<int64_t> notes;
        int64_t loadMs;
        std::vector<const char*> reasons;
        std::vector<int64_t> loads;
        const char* failure;
    } rows[] = {
        {"opens at the next check", {100}, 10, {open}, {100 + Q, 1000 + Q}, ""},
        {"tried at every check until it opens",
         {100},
         10,
         {open, open, open},
         {100 + Q, 1000 + Q, 2000 + Q, 3000 + Q},
         ""},
        {"opens, but is invalid: not tried again",
         {100},
         10,
         {open, kErrorReading},
         {100 + Q, 1000 + Q},
         "Error reading \"g.dat\""},
        {"a check during a load that opens asks for no other",
         {100, 960},
         100,
         {open},
         {100 + Q, 960 + Q},
         ""},
    };
    for (const auto& row : rows) {
        const Outcome run = Drive(row.notes, row.loadMs, 3500, {}, row.reasons);
        EXPECT_EQ(run.loads, row.loads) << row.what;
        EXPECT_EQ(run.failure, row.failure) << row.what;
    }
}

TEST(Watch, WaitsNoLongerThanTheNextDecision) {
    ReloadSchedule s(0, After(0));
    EXPECT_EQ(s.Wait(0), ReloadSchedule::kCheckMs);
    s.Notified(500);
    EXPECT_EQ(s.Wait(510), ReloadSchedule::kQuietMs - 10);
    for (int64_t t = 520; t <= 680; t += 20) s.Notified(t);  // never quiet: the limit decides
    EXPECT_EQ(s.Wait(690), 500 + ReloadSchedule::kLatestMs - 690);
    s.LoadStarted(After(1));
    EXPECT_EQ(s.Wait(600), ReloadSchedule::kCheckMs - 600);  // loading: only the check
    s.Notified(700);                                         // one more wanted after the load
    s.LoadFinished(LoadOk());
    EXPECT_EQ(s.Wait(800), 0);
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

}  // namespace quorlane
