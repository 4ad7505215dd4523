// Per-pixel work of the field image from a 100 × 100 grid at 1920 × 1080:
// interpolation plus field colour evaluated per point (Interpolate and
// FieldColour at every pixel) against the field row painter alone over one
// image row. Counters give nanoseconds per pixel or per value.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <vector>

#include "data/grid.h"
#include "data/settings.h"
#include "render/colour.h"
#include "render/field_row.h"
#include "render/interp.h"

namespace quorlane {

namespace {

constexpr int kW = 1920, kH = 1080;

// A 100 × 100 field from 0 to 100.
Grid Field() {
    Grid g;
    ShapeGrid(g, 100, 100, 1, 1);
    for (uint32_t j = 1; j <= 100; ++j)
        for (uint32_t i = 1; i <= 100; ++i)
            g.Cell(i, j) =
                float(50.0 + 50.0 * std::sin((i - 0.5) * 0.07) * std::cos((j - 0.5) * 0.05));
    FillGhostBorder(g);
    return g;
}

// A scale from 10 to 90, so some of the field is clipped.
DisplaySettings Scale(bool rainbow) {
    DisplaySettings s;
    s.scaleMin = 10, s.scaleMax = 90;
    s.minRed = 0, s.maxRed = 255, s.minGreen = 30, s.maxGreen = 220, s.minBlue = 255;
    s.clipping = 1, s.palette = rainbow ? 1 : 0;
    return s;
}

void PerItem(benchmark::State& state, const char* name, double seconds, double items) {
    state.counters[name] = benchmark::Counter(seconds * 1e9 / (double(state.iterations()) * items));
}

void BM_FieldImagePerPoint(benchmark::State& state) {
    const Grid grid = Field();
    const DisplaySettings s = Scale(state.range(0) == 1);
    const float kx = float(grid.columns) / kW, ky = float(grid.rows) / kH;
    std::vector<uint32_t> image(size_t(kW) * kH);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        uint32_t* p = image.data();
        for (int r = 0; r < kH; ++r)
            for (int c = 0; c < kW; ++c)
                *p++ = PixelOf(FieldColour(s, Interpolate(grid, c * kx, r * ky)));
        benchmark::DoNotOptimize(image.data());
        benchmark::ClobberMemory();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    PerItem(state, "ns_per_pixel", seconds, double(kW) * kH);
}
BENCHMARK(BM_FieldImagePerPoint)->ArgName("rainbow")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_FieldRow(benchmark::State& state) {
    const FieldRowPainter painter(Scale(state.range(0) == 1));
    std::vector<float> values(kW);
    for (int c = 0; c < kW; ++c) values[c] = 100.0f * c / kW;
    std::vector<uint32_t> pixels(kW);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        painter.Paint(values.data(), pixels.data(), kW);
        benchmark::DoNotOptimize(pixels.data());
        benchmark::ClobberMemory();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    PerItem(state, "ns_per_value", seconds, kW);
}
BENCHMARK(BM_FieldRow)->ArgName("rainbow")->Arg(1)->Arg(0);

}  // namespace

}  // namespace quorlane
