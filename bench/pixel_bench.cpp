// Per-pixel work of the field image: interpolation plus field colour, in the
// shape the paint pass uses (x weights per column, row results per column
// and cell row, AlongY and FieldRow per pixel row), against the plain
// per-point form, and FieldRow alone. Counter "per_pixel" is seconds per pixel.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "data/grid.h"
#include "data/settings.h"
#include "render/colour.h"
#include "render/interp.h"

namespace {

constexpr int kW = 1920, kH = 1080;

std::vector<float>& Block() {
    static std::vector<float> block;
    return block;
}

// A 100 × 100 field from 0 to 100 with a scale from 10 to 90, so some of
// the image is clipped; `rainbow` picks the colour mode.
void Setup(bool rainbow, bool clip = true) {
    QntX = QntY = 100;
    QntX2 = QntY2 = 102;
    std::vector<float>& b = Block();
    b.assign(QntX2 * QntY2, 0.0f);
    array = b.data();
    for (uint32_t j = 0; j < QntY2; ++j)
        for (uint32_t i = 0; i < QntX2; ++i) {
            const double x = std::min(std::max(i, 1u), QntX) - 0.5,
                         y = std::min(std::max(j, 1u), QntY) - 0.5;
            array[j * QntX2 + i] =
                static_cast<float>(50.0 + 50.0 * std::sin(x * 0.07) * std::cos(y * 0.05));
        }
    Fmin = 10.0f, Fmax = 90.0f, dFF = Fmax - Fmin;
    minRed = 0, maxRed = 255, minGreen = 30, maxGreen = 220, minBlue = 255, maxBlue = 0;
    dRed = maxRed - minRed, dGreen = maxGreen - minGreen, dBlue = maxBlue - minBlue;
    clipping = clip ? 1 : 0;
    color = rainbow ? 1 : 0;
}

void PerPixel(benchmark::State& state) {
    state.counters["per_pixel"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kW * kH,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(state.iterations() * kW * kH);
}

// The paint pass's shape over a 1920 × 1080 image.
void BM_FieldImage(benchmark::State& state) {
    Setup(state.range(0) == 1, state.range(1) == 1);
    const float kx = static_cast<float>(QntX) / kW, ky = static_cast<float>(QntY) / kH;
    std::vector<XWeights> columns(kW);
    std::vector<float> f0(kW), f1(kW), f2(kW), ff(kW);
    std::vector<uint32_t> image(static_cast<size_t>(kW) * kH);
    for (auto _ : state) {
        for (int c = 0; c < kW; ++c) columns[c] = ColumnWeights(c * kx);
        uint32_t cell = 0;
        for (int r = 0; r < kH; ++r) {
            const YWeights yw = RowWeights(r * ky);
            if (yw.j != cell) {
                cell = yw.j;
                const float* row = array + yw.j * QntX2;
                for (int c = 0; c < kW; ++c) {
                    f0[c] = AlongX(columns[c], row - QntX2);
                    f1[c] = AlongX(columns[c], row);
                    f2[c] = AlongX(columns[c], row + QntX2);
                }
            }
            for (int c = 0; c < kW; ++c) ff[c] = AlongY(yw, f0[c], f1[c], f2[c]);
            FieldRow(ff.data(), image.data() + static_cast<size_t>(r) * kW, kW);
        }
        benchmark::DoNotOptimize(image.data());
        benchmark::ClobberMemory();
    }
    PerPixel(state);
}
BENCHMARK(BM_FieldImage)
    ->ArgNames({"rainbow", "clip"})
    ->Args({1, 1})
    ->Args({0, 1})
    ->Args({1, 0})
    ->Args({0, 0})
    ->Unit(benchmark::kMillisecond);

// The same image, Interpolate and FieldColour called per point.
void BM_FieldImagePerPoint(benchmark::State& state) {
    Setup(state.range(0) == 1);
    const float kx = static_cast<float>(QntX) / kW, ky = static_cast<float>(QntY) / kH;
    std::vector<uint32_t> image(static_cast<size_t>(kW) * kH);
    for (auto _ : state) {
        uint32_t* p = image.data();
        for (int r = 0; r < kH; ++r)
            for (int c = 0; c < kW; ++c) *p++ = PixelOf(FieldColour(Interpolate(c * kx, r * ky)));
        benchmark::DoNotOptimize(image.data());
        benchmark::ClobberMemory();
    }
    PerPixel(state);
}
BENCHMARK(BM_FieldImagePerPoint)->ArgName("rainbow")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

// FieldRow alone over one image row of values spread across the scale.
void BM_FieldRow(benchmark::State& state) {
    Setup(state.range(0) == 1);
    std::vector<float> ff(kW);
    for (int c = 0; c < kW; ++c) ff[c] = 100.0f * c / kW;
    std::vector<uint32_t> px(kW);
    for (auto _ : state) {
        FieldRow(ff.data(), px.data(), kW);
        benchmark::DoNotOptimize(px.data());
        benchmark::ClobberMemory();
    }
    state.counters["per_value"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kW,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.SetItemsProcessed(state.iterations() * kW);
}
BENCHMARK(BM_FieldRow)->ArgName("rainbow")->Arg(1)->Arg(0);

}  // namespace
