// The whole paint (layout, background, frames, field image, band) of a
// full-screen and a 4K client from a 100 × 100 grid, in both colour modes.
// Reports nanoseconds per client pixel as "ns_per_pixel".
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "data/grid.h"
#include "data/settings.h"
#include "render/paint.h"

namespace {

std::vector<float> block;

void Setup(uint8_t mode) {
    QntX = QntY = 100, QntX2 = QntY2 = 102, delX = delY = 1, Xmax = Ymax = 100;
    block.assign(size_t(QntX2) * QntY2, 0);
    for (uint32_t j = 0; j < QntY2; ++j)
        for (uint32_t i = 0; i < QntX2; ++i) {
            const double u = std::min(std::max(i, 1u), QntX), v = std::min(std::max(j, 1u), QntY);
            block[j * QntX2 + i] = static_cast<float>(std::sin(u * 0.13) * std::cos(v * 0.07) * 10);
        }
    array = block.data();
    Fmin = -10, Fmax = 10, dFF = 20;
    minRed = 0, maxRed = 255, minGreen = 40, maxGreen = 200, minBlue = 255, maxBlue = 0;
    dRed = maxRed - minRed, dGreen = maxGreen - minGreen, dBlue = maxBlue - minBlue;
    Band = 20, Xmargin = 30, Ymargin = 10, clipping = 1, color = mode;
    std::strcpy(Label, "Field");
}

void BM_Paint(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0)), h = static_cast<int>(state.range(1));
    Setup(static_cast<uint8_t>(state.range(2)));
    std::vector<uint32_t> pixels(size_t(w) * size_t(h));
    for (auto _ : state) {
        const Layout layout = ComputeLayout(w, h);
        PaintClient(layout, pixels.data());
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_pixel"] =
        benchmark::Counter(double(w) * h * 1e-9, benchmark::Counter::kIsIterationInvariantRate |
                                                     benchmark::Counter::kInvert);
    state.SetLabel(state.range(2) == 1 ? "rainbow" : "two-colour");
}

BENCHMARK(BM_Paint)
    ->ArgNames({"w", "h", "color"})
    ->Args({1920, 1080, 1})
    ->Args({1920, 1080, 2})
    ->Args({3840, 2160, 1})
    ->Args({3840, 2160, 2})
    ->Unit(benchmark::kMillisecond);

}  // namespace
