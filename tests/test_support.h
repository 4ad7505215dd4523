#pragma once
// Named builders of the display settings and grids that the unit tests use.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>

#include "common/worker_pool.h"
#include "data/grid.h"
#include "data/settings.h"

namespace quorlane {

struct Rgb {
    int32_t red, green, blue;
};
constexpr Rgb kBlue{0, 0, 255}, kRed{255, 0, 0}, kBlack{0, 0, 0};

// A rainbow scale from `scaleMin` (dark blue) to `scaleMax` (red), clipping off.
inline DisplaySettings RainbowScale(float scaleMin, float scaleMax) {
    DisplaySettings s;
    s.scaleMin = scaleMin;
    s.scaleMax = scaleMax;
    s.palette = 1;
    return s;
}

// A two-colour scale from `scaleMin` in colour `low` to `scaleMax` in colour `high`, clipping off.
inline DisplaySettings TwoColourScale(float scaleMin, float scaleMax, Rgb low, Rgb high) {
    DisplaySettings s;
    s.scaleMin = scaleMin;
    s.scaleMax = scaleMax;
    s.minRed = low.red, s.minGreen = low.green, s.minBlue = low.blue;
    s.maxRed = high.red, s.maxGreen = high.green, s.maxBlue = high.blue;
    s.palette = 0;
    return s;
}

inline DisplaySettings Clipped(DisplaySettings s) {
    s.clipping = 1;
    return s;
}

// The switches as a settings file may give them: any value but 1 means off.
inline DisplaySettings WithSwitches(DisplaySettings s, uint8_t clipping, uint8_t palette) {
    s.clipping = clipping;
    s.palette = palette;
    return s;
}

// The band geometry and caption of a settings file.
inline DisplaySettings WithBand(DisplaySettings s, uint32_t bandHeight, uint32_t bandSideGap,
                                uint32_t bandStrip, const char* caption = "Pressure") {
    s.bandHeight = bandHeight;
    s.bandSideGap = bandSideGap;
    s.bandStrip = bandStrip;
    std::strncpy(s.caption, caption, sizeof s.caption - 1);
    return s;
}

// Four threads, more than most machines have cores, so that every paint is cut into many slices.
inline WorkerPool& TestPool() {
    static WorkerPool pool(4);
    return pool;
}

using SampleFn = std::function<float(uint32_t column, uint32_t row)>;

// A grid with its ghost border; sample(i, j) gives column i, row j, both from 1.
inline Grid MakeGrid(uint32_t columns, uint32_t rows, const SampleFn& sample, float cellWidth = 10,
                     float cellHeight = 10) {
    Grid g;
    ShapeGrid(g, columns, rows, cellWidth, cellHeight);
    for (uint32_t j = 0; j < rows + 2; ++j)
        for (uint32_t i = 0; i < columns + 2; ++i)
            g.Cell(i, j) = sample(std::clamp(i, 1u, columns), std::clamp(j, 1u, rows));
    return g;
}

}  // namespace quorlane
