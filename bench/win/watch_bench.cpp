// The watch mode's latency, timed from inside: the program's own main window
// (its class, window procedure and file watcher, not a copy) follows a folder
// in which this program writes new grid files and renames them into place.
//
// For grids of 100 × 100, 1000 × 1000 and 3000 × 3000 cells at a client of
// 1920 × 1080, each replacement's latency runs from the rename (the writer's
// last step) to the end of the first paint that shows the new grid (a wrapper
// around the window procedure knows it by the first cell, which is the
// replacement's number). It prints the median and the worst, and for the
// largest grid its plain load time (the same files loaded on a pool of the
// same size, as at start-up) and whether a writer may remove the file while
// it loads (a reader that refused it would make the writer fail). Then, with BIG, it renames a
// 10000 × 10000 grid into place and times resize repaints while it reloads, against the same
// resizes afterwards.
//
//   watch_bench [REPLACEMENTS [BIG]]   (defaults 50 and 1; BIG 0: no 10000 × 10000 grid)
//
// Exit status 0, or 1 when a replacement is refused or not shown within 60 s.
//
// Build: cmake --preset mingw && cmake --build --preset mingw
// Run under Wine on a virtual display larger than 1920 × 1080 with the frame:
//   Xvfb :72 -screen 0 2200x1400x24 &
//   DISPLAY=:72 wine build/mingw/bench/win/watch_bench.exe
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../bench_grids.h"
#include "bench_window.h"
#include "data/inputs.h"
#include "viewer/main_window.h"

using namespace quorlane;

namespace fs = std::filesystem;

namespace {

// What the wrapper around the window procedure needs, hung on the window.
struct Watch {
    const Application& app;
    WNDPROC programProc = nullptr;
    float awaited = -1;          // the first cell of the grid waited for
    double shownAt = 0;          // when the paint that showed it ended
    std::vector<double> paints;  // every paint's time, in seconds
};
const char kWatchProperty[] = "WatchBench";

LRESULT CALLBACK TimedWndProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Watch& watch = *static_cast<Watch*>(GetPropA(hWnd, kWatchProperty));
    if (msg != WM_PAINT) return CallWindowProcA(watch.programProc, hWnd, msg, wParam, lParam);
    const double t0 = SecondsNow();
    CallWindowProcA(watch.programProc, hWnd, msg, wParam, lParam);
    const double t1 = SecondsNow();
    watch.paints.push_back(t1 - t0);
    if (watch.shownAt == 0 && watch.app.grid.Loaded() && watch.app.grid.Cell(1, 1) == watch.awaited)
        watch.shownAt = t1;
    return 0;
}

// The grid text of a step: the benchmark's field with its first cell the step's number.
struct Steps {
    std::string header, rest;  // the text before and after the first value line
    explicit Steps(int cells) {
        const std::string text = BenchGridText(cells, cells, 0);
        const size_t first = text.find('\n') + 1;
        header = text.substr(0, first);
        rest = text.substr(text.find('\n', first) + 1);
    }
    std::string Text(int step) const { return header + std::to_string(step) + "\n" + rest; }
};

// The text written whole under another name, then renamed into place; the
// time of the rename, or 0 when the rename was refused.
double Replace(const fs::path& folder, const std::string& text) {
    const fs::path part = folder / "quorlane.dat.part", target = folder / "quorlane.dat";
    std::ofstream(part, std::ios::binary).write(text.data(), std::streamsize(text.size()));
    return MoveFileExW(part.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) ? SecondsNow() : 0;
}

// Resize repaints: the client between 1600 × 900 and 1920 × 1080, `count` times; paint times.
std::vector<double> Resizes(Watch& watch, HWND wnd, int count) {
    std::vector<double> times;
    for (int k = 0; k < count; ++k) {
        ResizeClient(wnd, k % 2 ? 1920 : 1600, k % 2 ? 1080 : 900);
        watch.paints.clear();
        UpdateWindow(wnd);
        if (!watch.paints.empty()) times.push_back(watch.paints.front());
    }
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    const int replacements = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
    const bool big = argc > 2 ? std::atoi(argv[2]) != 0 : true;
    const fs::path folder = fs::temp_directory_path() /
                            ("quorlane-watch-bench-" + std::to_string(GetCurrentProcessId()));
    fs::create_directories(folder);
    std::ofstream(folder / "quorlane.ini", std::ios::binary) << kBenchSettings;
    const Steps first(100);
    std::ofstream(folder / "quorlane.dat", std::ios::binary) << first.Text(0);

    Application app(GetModuleHandleA(nullptr));
    const InputFiles inputs = InputsOf(folder.u8string(), true);
    const InputStamps loaded = ReadStamps(inputs);
    DisplaySettings settings;
    if (!LoadInputs(inputs, app.pool, app.grid, settings).ok) return 1;
    app.painter = std::make_unique<FieldRowPainter>(settings);
    HWND wnd = RegisterMainWindowClass(app.instance) ? CreateMainWindow(app) : nullptr;
    if (wnd == nullptr) return 1;
    app.watcher = std::make_unique<FileWatcher>(wnd, inputs, loaded, app.Settings());
    ShowWindow(wnd, SW_SHOWNORMAL);
    SetWindowPos(wnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ResizeClient(wnd, 1920, 1080);
    UpdateWindow(wnd);
    Watch watch{app, nullptr, -1, 0, {}};
    SetPropA(wnd, kWatchProperty, &watch);
    watch.programProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(wnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(TimedWndProc)));
    RECT client;
    GetClientRect(wnd, &client);
    std::printf(
        "watch latency, rename to the end of the paint that shows the grid, client %ld x %ld, "
        "%u threads; ms\n",
        client.right, client.bottom, app.pool.Threads());

    bool ok = true;
    int step = 0;
    for (const int cells : {100, 1000, 3000}) {
        const Steps steps(cells);
        std::vector<double> latencies;
        for (int k = 0; k < replacements && ok; ++k) {
            PumpUntil([] { return false; }, 0.1);  // a writer that pauses between steps
            watch.awaited = float(++step);
            watch.shownAt = 0;
            const double renamed = Replace(folder, steps.Text(step));
            ok = renamed != 0 && PumpUntil([&] { return watch.shownAt != 0; }, 60);
            latencies.push_back(1e3 * (watch.shownAt - renamed));
        }
        if (!ok) break;
        std::sort(latencies.begin(), latencies.end());
        std::printf("%d x %d grid, %d replacements: median %.1f, worst %.1f", cells, cells,
                    replacements, Median(latencies), latencies.back());
        if (cells == 3000) {
            std::vector<double> loads;
            WorkerPool pool(WorkerPool::CoreThreads());
            for (int k = 0; k < 5; ++k) {
                Grid grid;
                DisplaySettings settings;
                const double t0 = SecondsNow();
                LoadInputs(inputs, pool, grid, settings);
                loads.push_back(1e3 * (SecondsNow() - t0));
            }
            std::printf("; plain load %.1f (median of 5), latency / load %.2f", Median(loads),
                        Median(latencies) / Median(loads));
            // A writer removes the file while the last step loads and puts the
            // next in its place: the program's reading must not refuse it.
            const fs::path next = folder / "quorlane.dat.next", target = folder / "quorlane.dat";
            const std::string text = steps.Text(step + 2);
            std::ofstream(next, std::ios::binary).write(text.data(), std::streamsize(text.size()));
            Replace(folder, steps.Text(++step));
            PumpUntil([] { return false; }, 0.08);  // that load is under way
            watch.awaited = float(++step);
            watch.shownAt = 0;
            const bool removed = DeleteFileW(target.c_str()) != 0;
            // The name is free once the load lets go of the file it removed:
            // a writer on Windows retries its rename until then.
            const auto renamed = [&] {
                return MoveFileExW(next.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
            };
            ok = removed && PumpUntil(renamed, 10) &&
                 PumpUntil([&] { return watch.shownAt != 0; }, 60);
            std::printf("; removed during a load: %s", removed ? "done" : "REFUSED");
        }
        std::printf("\n");
    }
    if (ok && big) {
        const double written = SecondsNow();
        {
            std::ofstream out(folder / "quorlane.dat.part", std::ios::binary);
            out << "10000 10000 1.0 1.0\n";
            const std::string row = [] {
                std::string r;
                for (int i = 0; i < 10000; ++i) r += i % 2 ? "0.25\n" : "-0.5\n";
                return r;
            }();
            for (int j = 0; j < 10000; ++j) out << row;
        }
        watch.awaited = -0.5f;
        watch.shownAt = 0;
        MoveFileExW((folder / "quorlane.dat.part").c_str(), (folder / "quorlane.dat").c_str(),
                    MOVEFILE_REPLACE_EXISTING);
        const double renamed = SecondsNow();
        PumpUntil([] { return false; }, 0.2);  // the load has begun
        const std::vector<double> during = Resizes(watch, wnd, 20);
        const bool overlapped = watch.shownAt == 0;
        ok = PumpUntil([&] { return watch.shownAt != 0; }, 300);
        const double shown = watch.shownAt - renamed;
        const std::vector<double> after = Resizes(watch, wnd, 20);
        std::printf(
            "10000 x 10000 grid (written in %.1f s) shown %.1f s after the rename; resize "
            "repaint during its reload: median %.1f, worst %.1f (%s); afterwards: median "
            "%.1f, worst %.1f\n",
            renamed - written, shown, 1e3 * Median(during),
            during.empty() ? 0 : 1e3 * *std::max_element(during.begin(), during.end()),
            overlapped ? "all during the reload" : "the reload ended first", 1e3 * Median(after),
            after.empty() ? 0 : 1e3 * *std::max_element(after.begin(), after.end()));
    }
    DestroyWindow(wnd);
    std::error_code ec;
    fs::remove_all(folder, ec);
    std::printf("%s\n", ok ? "ok" : "FAILED: a replacement was not shown");
    return ok ? 0 : 1;
}
