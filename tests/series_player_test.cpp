// A series window's rules, driven by a fake clock and a fake loader: keys and the wheel, step
// numbers, the titles, the playback schedule, what the step cache loads, keeps and drops for
// stepping, jumping, playing and reversing, the memory it holds, and the series' growth.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "viewer/rules/series_player.h"

namespace quorlane {

namespace {

using K = SeriesKey;

TEST(SeriesRules, KeysWheelAndStepNumbers) {
    const struct {
        SeriesKey key;
        size_t at, count, to;
    } moves[] = {
        {K::Next, 0, 240, 1},         {K::Next, 239, 240, 239},
        {K::Previous, 5, 240, 4},     {K::Previous, 0, 240, 0},
        {K::First, 17, 240, 0},       {K::Last, 17, 240, 239},
        {K::PageForward, 0, 240, 24}, {K::PageForward, 230, 240, 239},
        {K::PageBack, 30, 240, 6},    {K::PageBack, 23, 240, 0},
        {K::PageForward, 0, 9, 1},    {K::PageBack, 3, 9, 2},
        {K::PageForward, 0, 1, 0},    {K::Next, 0, 1, 0},
        {K::PlayOrPause, 7, 9, 7},
    };
    for (const auto& m : moves)
        EXPECT_EQ(StepAfterKey(m.key, m.at, m.count), m.to) << int(m.key) << " " << m.at;
    int pending = 0;
    const int deltas[] = {120, -360, 40, 40, 39, 1, -30, 2147483600, 2147483600};
    const int notches[] = {1, -3, 0, 0, 0, 1, 0, 17895696, 17895697};
    for (size_t k = 0; k < std::size(deltas); ++k)
        EXPECT_EQ(WheelNotches(pending, deltas[k]), notches[k]) << k;
    const struct {
        const char* text;
        size_t index;  // SIZE_MAX: refused
    } numbers[] = {{"19", 18},        {" 240 ", 239},    {"1", 0},
                   {"0", SIZE_MAX},   {"241", SIZE_MAX}, {"", SIZE_MAX},
                   {"1 7", SIZE_MAX}, {"-3", SIZE_MAX},  {"99999999999999999999999", SIZE_MAX}};
    for (const auto& n : numbers) {
        size_t index = SIZE_MAX;
        const std::string told = ParseStepNumber(n.text, 240, index);
        EXPECT_EQ(told.empty(), n.index != SIZE_MAX) << n.text;
        EXPECT_EQ(index, n.index) << n.text;
        EXPECT_TRUE(told.empty() || told == "Give a step number from 1 to 240.") << told;
    }
}

TEST(SeriesRules, PlaybackSchedule) {
    PlaybackSchedule s(30);
    EXPECT_EQ(s.Wait(0), -1);
    s.Start(1000);
    const int64_t onTime[] = {1033, 1066, 1100, 1133, 1166, 1200};  // 30 a second, no drift
    for (const int64_t due : onTime) {
        EXPECT_FALSE(s.Due(due - 1));
        EXPECT_EQ(s.Wait(due - 5), 5);
        EXPECT_TRUE(s.Due(due));
        s.Shown(due + 2);  // a little late: the schedule holds
    }
    s.Shown(1250);  // 1233 was due, shown 17 ms late: the next is a period after it
    EXPECT_EQ(s.NextDue(), 1283);
    s.Shown(1300);  // 1283 due, 1266 + 34 = 1316 is less than half a period away
    EXPECT_EQ(s.NextDue(), 1333);
    PlaybackSchedule ten(10);
    ten.Start(0);
    ten.Shown(150);  // 100 due, the next at 200 is half a period away: kept
    EXPECT_EQ(ten.NextDue(), 200);
    PlaybackSchedule fast(120);
    fast.Start(0);
    for (int k = 0; k < 120; ++k) fast.Shown(fast.NextDue());
    EXPECT_EQ(fast.NextDue(), 1008);
}

// A loaded step that says when it is freed.
struct FakeStep : StepPayload {
    FakeStep(size_t step, uint64_t bytes, uint64_t& live) : step(step), bytes(bytes), live(live) {
        live += bytes;
    }
    ~FakeStep() override { live -= bytes; }
    size_t step;
    uint64_t bytes;
    uint64_t& live;
};

std::vector<SeriesStep> Steps(size_t count, size_t first = 1) {
    std::vector<SeriesStep> steps;
    for (size_t k = first; k < first + count; ++k) {
        SeriesStep s;
        s.files = InputsOf("r/step_" + std::to_string(k) + ".dat", false, PathStyle::Posix);
        s.grid = {true, 10, 1};
        steps.push_back(s);
    }
    return steps;
}

size_t StepOf(const InputFiles& files) {
    return std::stoul(files.name.substr(5));
}

// A window thread with a fake loader: one load at a time, each `loadMs` long, a step of
// bytes(k) bytes; the steps in `failing` fail. Checks at every millisecond that memory stays
// within the budget and two grids.
struct Rig {
    Rig(size_t count, uint64_t budget, int fps = 10) : player(Steps(count), {budget, fps, 3, 4}) {}

    void Run(int64_t ms) {
        for (const int64_t end = now + ms; now < end; ++now) {
            player.Tick(now);
            if (underWay && now >= doneAt) {
                const StepLoad done = *underWay;
                underWay.reset();
                if (failing.count(StepOf(done.files)))
                    player.Failed(done.id, "Error reading \"" + done.files.gridPath + "\"", now);
                else
                    player.Loaded(done.id, std::move(loading), bytes(StepOf(done.files)), now);
                loading.reset();
            }
            if (!underWay) Start();
            Observe();
        }
    }
    void Press(SeriesKey key) {
        player.Key(key, now);
        Start();
        Observe();
    }
    void Start() {
        if (underWay || !(underWay = player.NextLoad())) return;
        loads.push_back(StepOf(underWay->files));
        doneAt = now + loadMs;
        loading = std::make_shared<FakeStep>(StepOf(underWay->files),
                                             bytes(StepOf(underWay->files)), live);
    }
    void Observe() {
        const auto* picture = static_cast<const FakeStep*>(player.Picture());
        if (picture && (shown.empty() || shown.back() != picture->step))
            shown.push_back(picture->step);
        EXPECT_LE(player.Cache().KeptBytes(), player.Cache().Budget());
        EXPECT_LE(live, player.Cache().Budget() + 2 * largest) << "at " << now;
    }
    std::string Kept() const;

    SeriesPlayer player;
    int64_t now = 0, loadMs = 5, doneAt = 0;
    uint64_t largest = 10, live = 0;
    std::function<uint64_t(size_t)> bytes = [](size_t) { return uint64_t(10); };
    std::set<size_t> failing;
    std::optional<StepLoad> underWay;
    std::shared_ptr<FakeStep> loading;
    std::vector<size_t> loads, shown;
};

std::string Join(const std::vector<size_t>& steps) {
    std::string text;
    for (const size_t k : steps) text += (text.empty() ? "" : " ") + std::to_string(k);
    return text;
}

// The steps kept, in their order.
std::string Rig::Kept() const {
    std::vector<size_t> kept;
    for (size_t k = 0; k < player.Count(); ++k)
        if (player.Kept(k)) kept.push_back(StepOf(player.Step(k).files));
    return Join(kept);
}

// Paused, the cache loads the shown step, then three ahead in the direction of travel as far as
// the budget (four steps) allows, and drops the least recently shown. Keys: > Right, < Left,
// E End, D Page Down, U Page Up.
TEST(SeriesRules, CacheWhileStepping) {
    const struct {
        const char *what, *keys, *loads, *kept, *shown;
    } rows[] = {
        {"start: the first, then ahead", "", "1 2 3 4", "1 2 3 4", "1"},
        {"one on: one more ahead, the oldest dropped", ">", "1 2 3 4 5", "2 3 4 5", "1 2"},
        {"reversing: ahead the other way", ">>><<<", "1 2 3 4 5 6 7 3 2 1", "1 2 3 4",
         "1 2 3 4 3 2 1"},
        {"a jump: the target, then back from it", "E", "1 2 3 4 20 19 18 17", "17 18 19 20",
         "1 20"},
        {"a page on and back: kept ones at once", "DU", "1 2 3 4 5 6 1 2", "1 2 3 4", "1 3 1"},
    };
    const std::string keys = "><EDU";
    const SeriesKey meant[] = {K::Next, K::Previous, K::Last, K::PageForward, K::PageBack};
    for (const auto& r : rows) {
        Rig rig(20, 40);
        rig.Run(100);
        for (const char* key = r.keys; *key; ++key) {
            rig.Press(meant[keys.find(*key)]);
            rig.Run(100);
        }
        EXPECT_EQ(Join(rig.loads), r.loads) << r.what;
        EXPECT_EQ(rig.Kept(), r.kept) << r.what;
        EXPECT_EQ(Join(rig.shown), r.shown) << r.what;
    }
}

// Playing: every step is shown in order and round again, at the frame rate when loads keep up
// and at the loads' pace when they do not, never skipped; kept steps are not loaded again.
TEST(SeriesRules, Playing) {
    const struct {
        const char* what;
        size_t count;
        uint64_t budget;
        int fps;
        int64_t loadMs;
        const char* loads;  // the loads in 2 s of playing
        size_t shownAfter;  // pictures shown after 2 s
    } rows[] = {
        {"all kept: each loaded once", 8, 100, 10, 5, "1 2 3 4 5 6 7 8", 20},
        {"more than the budget: loaded again each time round", 8, 40, 10, 5,
         "1 2 3 4 5 6 7 8 1 2 3 4 5 6 7 8 1 2 3 4 5 6 7", 20},
        {"loads slower than the frames: no step skipped", 30, 1000, 20, 120,
         "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17", 16},
    };
    for (const auto& r : rows) {
        Rig rig(r.count, r.budget, r.fps);
        rig.loadMs = r.loadMs;
        rig.Run(1);
        rig.Press(K::PlayOrPause);
        EXPECT_EQ(rig.player.Title(),
                  "step_1.dat (1/" + std::to_string(r.count) + ") - Quorlane (playing)");
        rig.Run(2000);
        EXPECT_EQ(Join(rig.loads), r.loads) << r.what;
        EXPECT_EQ(rig.shown.size(), r.shownAfter) << r.what;
        for (size_t k = 0; k < rig.shown.size(); ++k)
            EXPECT_EQ(rig.shown[k], k % r.count + 1) << r.what;
        rig.Press(K::PlayOrPause);
        const size_t at = rig.shown.size(), target = rig.player.Target() + 1;
        rig.Run(1000);
        // Paused: at most the step that was due, once it has loaded.
        EXPECT_LE(rig.shown.size(), at + 1) << r.what;
        EXPECT_EQ(rig.shown.back(), target) << r.what;
    }
}

// A step that fails keeps the last good picture and says why; playing goes on past it.
TEST(SeriesRules, FailingStep) {
    Rig rig(5, 100);
    rig.failing = {3};
    rig.Run(1);
    EXPECT_FALSE(rig.player.ShouldAbandon());  // the target's own load
    rig.Run(6);
    rig.Press(K::Last);  // while step 2 loads ahead: not worth finishing
    EXPECT_TRUE(rig.player.ShouldAbandon());
    rig.player.GoTo(0, rig.now);
    rig.Run(50);
    rig.Press(K::Next);
    rig.Press(K::Next);
    rig.Run(20);
    EXPECT_EQ(rig.player.Title(),
              "step_3.dat (3/5) - Quorlane (not shown: Error reading \"r/step_3.dat\")");
    EXPECT_EQ(Join(rig.shown), "1 2");
    rig.Press(K::PlayOrPause);
    rig.Run(1000);
    // The failing step keeps its frame (the title says why), then playing goes on.
    EXPECT_EQ(Join(rig.shown), "1 2 4 5 1 2 4 5 1 2");
    // A key back to it tries it again.
    rig.Press(K::PlayOrPause);
    rig.failing.clear();
    rig.player.GoTo(2, rig.now);
    rig.Run(10);
    EXPECT_EQ(rig.shown.back(), 3u);
    EXPECT_EQ(rig.player.Title(), "step_3.dat (3/5) - Quorlane");
}

// A step larger than the budget is shown but never kept; memory stays within the budget and two
// grids whatever the user does.
TEST(SeriesRules, MemoryBound) {
    Rig big(6, 40);
    big.bytes = [](size_t k) { return uint64_t(k == 2 ? 100 : 10); };
    big.largest = 100;
    big.Run(50);
    big.Press(K::Next);
    big.Run(50);
    EXPECT_EQ(big.shown.back(), 2u);
    EXPECT_EQ(big.Kept(), "1");  // and nothing ahead while steps are this large
    big.Press(K::Next);
    big.Run(50);
    EXPECT_LE(big.live, 40u + 10u);  // the large one freed once the window moved on
    std::mt19937 random(7);
    for (int round = 0; round < 3; ++round) {
        Rig rig(50, 64);
        rig.bytes = [round](size_t k) { return uint64_t(round == 0 ? 16 : 4 + k * 7 % 40); };
        rig.largest = 64;
        for (int k = 0; k < 300; ++k) {
            rig.Press(SeriesKey(random() % 7));
            if (random() % 5 == 0) rig.player.GoTo(random() % 50, rig.now);
            rig.loadMs = random() % 30;
            rig.Run(random() % 40);
        }
    }
}

// --watch: the series grows and shrinks; the window follows the run only from its last step, and
// a rewritten step on the screen is shown again.
TEST(SeriesRules, Growth) {
    const struct {
        const char* what;
        size_t at;            // the step shown (from 1) before the new listing
        size_t first, count;  // the new listing: steps first .. first + count - 1
        size_t rewritten;     // a step whose grid stamp changed, or 0
        const char* title;    // after the new listing is taken and loaded
        const char* loads;    // the loads after the listing
    } rows[] = {
        {"on the last: follows", 4, 1, 6, 0, "step_6.dat (6/6) - Quorlane", "6 5"},
        {"earlier: stays, the count grows", 2, 1, 6, 0, "step_2.dat (2/6) - Quorlane", "5"},
        {"the shown step rewritten: shown again", 2, 1, 4, 2, "step_2.dat (2/4) - Quorlane", "2"},
        {"a step before it removed", 3, 2, 3, 0, "step_3.dat (2/3) - Quorlane", ""},
        {"the shown step removed: the next one", 1, 2, 5, 0, "step_2.dat (1/5) - Quorlane", "5"},
    };
    for (const auto& r : rows) {
        Rig rig(4, 1000);
        rig.Run(50);
        rig.player.GoTo(r.at - 1, rig.now);
        rig.Run(50);
        const size_t before = rig.loads.size();
        std::vector<SeriesStep> fresh = Steps(r.count, r.first);
        for (SeriesStep& s : fresh)
            if (StepOf(s.files) == r.rewritten) s.grid.writeTime = 2;
        rig.player.Relisted(fresh, LoadOk(), rig.now);
        rig.Run(50);
        EXPECT_EQ(rig.player.Title(), r.title) << r.what;
        EXPECT_LE(rig.player.Cache().KeptSteps(), rig.player.Count()) << r.what;  // none left over
        EXPECT_EQ(Join({rig.loads.begin() + ptrdiff_t(before), rig.loads.end()}), r.loads)
            << r.what;
        EXPECT_EQ(static_cast<const FakeStep*>(rig.player.Picture())->step,
                  StepOf(rig.player.Step(rig.player.Target()).files))
            << r.what;
    }
    Rig rig(3, 1000);
    rig.Run(50);
    rig.player.Relisted({}, LoadFailure(kNoGridFileIn, "r"), rig.now);
    EXPECT_EQ(rig.player.Title(),
              "step_1.dat (1/3) - Quorlane (not updated: No grid file in \"r\")");
    rig.player.Relisted(Steps(3), LoadOk(), rig.now);
    EXPECT_EQ(rig.player.Title(), "step_1.dat (1/3) - Quorlane");
}

}  // namespace

}  // namespace quorlane
