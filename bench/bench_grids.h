#pragma once
// The generated inputs of the export benchmarks: a smooth field whose hills
// move from one step to the next, and the settings that show it at 1920 ×
// 1080 (a client of 1920 × 1080 under a menu bar).
#include <cmath>
#include <cstdio>
#include <string>

namespace quorlane {

constexpr int kBenchWidth = 1920, kBenchHeight = 1080;
constexpr char kBenchSettings[] =
    "-1.0\n1.0\n0\n255\n0\n0\n255\n0\n1920\n1160\n24\n80\n24\n10\nElevation\n1\n1\n";

// The text of a grid file of columns × rows cells, step `phase`.
inline std::string BenchGridText(int columns, int rows, int phase) {
    std::string text = std::to_string(columns) + " " + std::to_string(rows) + " 1.0 1.0\n";
    text.reserve(text.size() + size_t(columns) * size_t(rows) * 8);
    char line[32];
    const double t = phase * 0.05;
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const double x = double(i) / columns, y = double(j) / rows;
            const double v = std::sin(6.0 * x + t) * std::cos(5.0 * y - 0.7 * t);
            text.append(line, size_t(std::snprintf(line, sizeof line, "%.4f\n", v)));
        }
    return text;
}

}  // namespace quorlane
