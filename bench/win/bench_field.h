#pragma once
// The field the window benchmarks fill the program's application value with:
// smooth values from about -20 to 120 on the rainbow scale from 0 to 100.
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "data/grid_loader.h"
#include "data/settings.h"
#include "viewer/main_window.h"

namespace quorlane {

inline bool FillSmoothField(Application& app, int columns, int rows) {
    std::string grid = std::to_string(columns) + " " + std::to_string(rows) + " 1.0 1.0\n";
    grid.reserve(grid.size() + size_t(columns) * size_t(rows) * 9);
    char line[64];
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const double v = 50 + 70 * std::sin(i * 0.02) * std::cos(j * 0.015);
            std::snprintf(line, sizeof line, "%.4f\n", v);
            grid += line;
        }
    const std::string ini =
        "0.0\n100.0\n0\n255\n0\n0\n255\n0\n800\n600\n20\n60\n20\n10\nTemperature\n1\n1\n";
    LoadResult r = LoadGridBytes(app.grid, grid.data(), grid.size(), app.pool);
    DisplaySettings settings;
    if (r.ok) r = LoadSettingsBytes(settings, ini.data(), ini.size());
    if (!r.ok) {
        std::printf("cannot load the field: %s\n", r.message.c_str());
        return false;
    }
    app.painter = std::make_unique<FieldRowPainter>(settings);
    return true;
}

}  // namespace quorlane
