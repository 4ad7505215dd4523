// The readout's range of a loaded grid (least and greatest samples, their
// cells, the counts beyond the scale), found once per load on the pool.
//   BM_Range/4000/0     a 4000 × 4000 grid on every thread;
//   BM_Range/10000/0    a 10,000 × 10,000 grid on every thread (400 MB of memory),
//                       to set against BM_LoadGrid/10000/0/0 of load_bench;
//   BM_Range/10000/1    the same on one thread.
// The values are uniform in [0, 100), the scale 10 to 90.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "common/worker_pool.h"
#include "data/grid.h"
#include "probe/field_range.h"

namespace quorlane {

namespace {

void BM_Range(benchmark::State& state) {
    const uint32_t side = uint32_t(state.range(0));
    Grid grid;
    if (!ShapeGrid(grid, side, side, 1, 1)) {
        state.SkipWithError("no memory for the grid");
        return;
    }
    uint64_t x = 12345;
    for (float& v : grid.cells) {
        x = x * 6364136223846793005u + 1442695040888963407u;
        v = float(double(x >> 11) * 0x1p-53 * 100.0);
    }
    DisplaySettings settings;
    settings.scaleMin = 10;
    settings.scaleMax = 90;
    WorkerPool pool(WorkerPool::CoreThreads());
    for (auto _ : state) {
        const FieldRange range = RangeOf(grid, settings, pool, unsigned(state.range(1)));
        benchmark::DoNotOptimize(range);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(side) * side * 4);
}
BENCHMARK(BM_Range)
    ->Args({4000, 0})
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

}  // namespace quorlane
