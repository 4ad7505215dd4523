// The whole paint (layout, background, frames, field image, band) of a
// full-screen and a 4K client, from a grid coarser than the pixels (100 ×
// 100) and one denser than them (3000 × 3000), on one thread and on all of
// the worker pool's. Reports the wall time of one client pixel as "per_pixel".
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "common/worker_pool.h"
#include "data/grid.h"
#include "data/settings.h"
#include "render/field_row.h"
#include "render/paint.h"

namespace quorlane {

namespace {

// A smooth field of n × n unit cells with values from -10 to 10.
const Grid& SmoothGrid(uint32_t n) {
    static std::map<uint32_t, Grid> grids;
    Grid& g = grids[n];
    if (!g.Loaded()) {
        ShapeGrid(g, n, n, 1, 1);
        const double fx = 13.0 / n, fy = 7.0 / n;
        for (uint32_t j = 1; j <= n; ++j)
            for (uint32_t i = 1; i <= n; ++i)
                g.Cell(i, j) = float(std::sin(i * fx) * std::cos(j * fy) * 10);
        FillGhostBorder(g);
    }
    return g;
}

DisplaySettings Rainbow() {
    DisplaySettings s;
    s.scaleMin = -10, s.scaleMax = 10;
    s.bandHeight = 20, s.bandSideGap = 30, s.bandStrip = 10;
    s.clipping = 1, s.palette = 1;
    std::strcpy(s.caption, "Field");
    return s;
}

void BM_Paint(benchmark::State& state) {
    const Grid& grid = SmoothGrid(uint32_t(state.range(0)));
    const int w = int(state.range(1)), h = int(state.range(2));
    const unsigned threads = unsigned(state.range(3));
    const DisplaySettings settings = Rainbow();
    const FieldRowPainter painter(settings);
    WorkerPool pool(WorkerPool::CoreThreads());
    std::vector<uint32_t> pixels(size_t(w) * size_t(h));
    for (auto _ : state) {
        const Layout layout = ComputeLayout(grid, settings, w, h);
        PaintClient(grid, painter, layout, {pixels.data(), w}, pool, threads);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    // Pixels per second of wall time, inverted: the time of one pixel.
    state.counters["per_pixel"] = benchmark::Counter(
        double(w) * h, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_Paint)
    ->ArgNames({"grid", "w", "h", "threads"})
    ->ArgsProduct({{100, 3000}, {1920}, {1080}, {1, 0}})
    ->ArgsProduct({{100, 3000}, {3840}, {2160}, {1, 0}})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace

}  // namespace quorlane
