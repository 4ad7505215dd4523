// A series window's speed and memory, timed from inside: the program's own
// main window and SeriesWindow (its class, window procedure, player, loader
// thread and timer, not a copy) over series of generated grid files, at a
// client of 1920 × 1080. A wrapper around the window procedure notes the end
// of every paint and the step it showed.
//
// - keys: 20 steps of 1000 × 1000 loaded once, then Left and Right over the
//   kept steps: from the key to the end of the paint that shows the step;
// - playing: PLAY steps (20 files, each named PLAY/20 times) at --fps 30 of
//   1000 × 1000 and at --fps 60 of 100 × 100, two rounds: steps a second in
//   each round, and whether every step was shown;
// - 10,000 step files (10 × 10): the first picture after start-up, against a
//   single file's;
// - memory: MEMORY steps of 1000 × 1000 (20 files, named over and over)
//   stepped through with Right and --cache 256: the working set after half of
//   them and after all.
//
//   series_bench [PLAY [MEMORY]]   (defaults 200 and 4000)
//
// Build: cmake --preset mingw && cmake --build --preset mingw
// Run under Wine on a virtual display larger than 1920 × 1080 with the frame:
//   Xvfb :72 -screen 0 2200x1400x24 &
//   DISPLAY=:72 wine build/mingw/bench/win/series_bench.exe
#include <windows.h>
// after windows.h
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../bench_grids.h"
#include "bench_window.h"
#include "viewer/main_window.h"
#include "viewer/rules/viewer_options.h"
#include "viewer/series_files.h"
#include "win/series_file_system.h"

using namespace quorlane;

namespace fs = std::filesystem;

namespace {

// The paints, noted by the wrapper around the window procedure.
struct Paints {
    const Application* app = nullptr;
    WNDPROC programProc = nullptr;
    const void* shown = nullptr;  // the picture of the last paint
    double at = 0;                // when a paint first showed it
    std::vector<double> changes;  // when each new picture was first painted
};
Paints paints;

LRESULT CALLBACK TimedWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    const LRESULT r = CallWindowProcA(paints.programProc, hWnd, msg, wParam, lParam);
    if (msg == WM_PAINT && paints.app->series) {
        const void* picture = &paints.app->series->Picture();
        if (picture != paints.shown) {
            paints.shown = picture;
            paints.at = SecondsNow();
            paints.changes.push_back(paints.at);
        }
    }
    return r;
}

// Writes `files` grid files of cells × cells into `folder` with the settings;
// their paths, each named `times` times over.
std::vector<std::string> WriteSteps(const fs::path& folder, int files, int cells, int times) {
    fs::create_directories(folder);
    std::ofstream(folder / "quorlane.ini", std::ios::binary) << kBenchSettings;
    std::vector<std::string> paths;
    for (int k = 0; k < files; ++k) {
        const fs::path p = folder / ("step_" + std::to_string(k + 1) + ".dat");
        const std::string text = BenchGridText(cells, cells, k);
        std::ofstream(p, std::ios::binary).write(text.data(), std::streamsize(text.size()));
        paths.push_back(p.u8string());
    }
    std::vector<std::string> named;
    for (int t = 0; t < times; ++t) named.insert(named.end(), paths.begin(), paths.end());
    return named;
}

// A series window as the program opens one (main.cpp's RunSeries), at a
// 1920 × 1080 client; null when it cannot be opened.
HWND OpenSeries(Application& app, const std::vector<std::string>& paths, int fps, uint64_t cache) {
    std::vector<SeriesStep> steps;
    if (!ExpandSeries(paths, SystemSeriesFileSystem(), steps).ok) return nullptr;
    SeriesTuning tuning;
    tuning.cacheBytes = cache;
    tuning.fps = fps;
    auto player = std::make_unique<SeriesPlayer>(std::move(steps), tuning);
    StepSettings settings;
    const std::optional<StepLoad> first = player->NextLoad();
    auto step = std::make_shared<LoadedStep>();
    uint64_t bytes = 0;
    if (!LoadStep(first->files, app.pool, settings, nullptr, nullptr, *step, bytes).ok)
        return nullptr;
    player->Loaded(first->id, std::move(step), bytes, SeriesClock());
    app.painter = std::make_unique<FieldRowPainter>(settings.Shown());
    const HWND wnd = CreateMainWindow(app, player->Title(), false);
    if (wnd == nullptr) return nullptr;
    app.series = std::make_unique<SeriesWindow>(
        wnd, app.instance, std::move(player), std::move(settings), false,
        std::vector<std::string>(), std::vector<SeriesStep>());
    paints = Paints();
    paints.app = &app;
    paints.programProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedWndProc)));
    ShowWindow(wnd, SW_SHOWNORMAL);
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ResizeClient(wnd, 1920, 1080);
    UpdateWindow(wnd);
    return wnd;
}

void Close(HWND wnd) {
    DestroyWindow(wnd);
    MSG quit;
    PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // the window's quit message
}

// A key, and the time until the paint that shows another step ends (-1: none within 30 s).
double KeyToPaint(HWND wnd, UINT vk) {
    const size_t before = paints.changes.size();
    const double t0 = SecondsNow();
    PostMessageA(wnd, WM_KEYDOWN, vk, 0);
    if (!PumpUntil([&] { return paints.changes.size() > before; }, 30)) return -1;
    return paints.changes.back() - t0;
}

double WorkingSetMb() {
    PROCESS_MEMORY_COUNTERS c = {};
    c.cb = sizeof c;
    return K32GetProcessMemoryInfo(GetCurrentProcess(), &c, sizeof c)
               ? double(c.WorkingSetSize) / (1 << 20)
               : 0;
}

bool Keys(const fs::path& root) {
    Application app(GetModuleHandleA(nullptr));
    const HWND wnd = OpenSeries(app, WriteSteps(root / "keys", 20, 1000, 1), 10, uint64_t(1) << 30);
    if (wnd == nullptr) return false;
    for (int k = 0; k < 19; ++k)
        if (KeyToPaint(wnd, VK_RIGHT) < 0) return false;
    std::vector<double> ms;
    for (int k = 0; k < 38; ++k) ms.push_back(1e3 * KeyToPaint(wnd, k < 19 ? VK_LEFT : VK_RIGHT));
    Close(wnd);
    std::printf(
        "kept step on the screen after its key (1000 x 1000, %zu keys): median %.1f ms, "
        "worst %.1f ms\n",
        ms.size(), Median(ms), *std::max_element(ms.begin(), ms.end()));
    return *std::min_element(ms.begin(), ms.end()) >= 0;
}

bool Play(const fs::path& root, int steps, int cells, int fps) {
    Application app(GetModuleHandleA(nullptr));
    const fs::path folder = root / ("play" + std::to_string(cells));
    const HWND wnd = OpenSeries(app, WriteSteps(folder, 20, cells, std::max(1, steps / 20)), fps,
                                DefaultCacheBytes(PhysicalMemoryBytes()));
    if (wnd == nullptr) return false;
    const size_t count = app.series ? size_t(std::max(1, steps / 20)) * 20 : 0;
    PostMessageA(wnd, WM_KEYDOWN, VK_SPACE, 0);
    const bool done = PumpUntil([&] { return paints.changes.size() > 2 * count; }, 300);
    Close(wnd);
    if (!done) return false;
    // paints.changes[0] is the first step before playing; round r shows 1 + r·count onwards.
    std::printf("playing %zu steps of %d x %d at --fps %d:", count, cells, cells, fps);
    for (size_t r = 0; r < 2; ++r) {
        const double t0 = paints.changes[r * count], t1 = paints.changes[(r + 1) * count];
        std::printf(" round %zu %.1f steps/s;", r + 1, double(count) / (t1 - t0));
    }
    std::printf(" %zu pictures\n", paints.changes.size());
    return true;
}

// The time from opening to the end of the first paint.
double FirstPicture(const std::vector<std::string>& paths) {
    Application app(GetModuleHandleA(nullptr));
    const double t0 = SecondsNow();
    const HWND wnd = OpenSeries(app, paths, 10, uint64_t(256) << 20);
    if (wnd == nullptr) return -1;
    const double t = paints.changes.empty() ? SecondsNow() - t0 : paints.changes[0] - t0;
    Close(wnd);
    return t;
}

bool Many(const fs::path& root) {
    const std::vector<std::string> one = WriteSteps(root / "one", 1, 10, 1);
    WriteSteps(root / "many", 10000, 10, 1);
    std::vector<double> single, many;
    for (int k = 0; k < 3; ++k) {
        single.push_back(FirstPicture(one));
        many.push_back(FirstPicture({(root / "many").u8string()}));
    }
    std::printf(
        "first picture: a single file %.3f s, a folder of 10,000 steps %.3f s "
        "(medians of 3)\n",
        Median(single), Median(many));
    return Median(many) >= 0 && Median(single) >= 0;
}

bool Memory(const fs::path& root, int steps) {
    Application app(GetModuleHandleA(nullptr));
    const HWND wnd = OpenSeries(app, WriteSteps(root / "memory", 20, 1000, std::max(1, steps / 20)),
                                10, uint64_t(256) << 20);
    if (wnd == nullptr) return false;
    const double start = WorkingSetMb();
    std::vector<double> at;
    for (int k = 1; k < steps; ++k) {
        if (KeyToPaint(wnd, VK_RIGHT) < 0) return false;
        if (k == steps / 2 || k == steps - 1) at.push_back(WorkingSetMb());
    }
    Close(wnd);
    std::printf(
        "working set, 1000 x 1000 steps, --cache 256: %.0f MB at the first, %.0f MB after "
        "%d, %.0f MB after %d (bound 256 + 2 x 3.8 + 64 MB above the start)\n",
        start, at[0], steps / 2, at[1], steps);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int play = argc > 1 ? std::max(20, std::atoi(argv[1])) : 200;
    const int memory = argc > 2 ? std::max(4, std::atoi(argv[2])) : 4000;
    const fs::path root = fs::temp_directory_path() /
                          ("quorlane-series-bench-" + std::to_string(GetCurrentProcessId()));
    if (!RegisterMainWindowClass(GetModuleHandleA(nullptr))) return 1;
    const bool ok = Keys(root) && Play(root, play, 1000, 30) && Play(root, play, 100, 60) &&
                    Many(root) && Memory(root, memory);
    std::error_code ec;
    fs::remove_all(root, ec);
    std::printf("%s\n", ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
