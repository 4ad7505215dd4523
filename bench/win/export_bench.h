#pragma once
// What the export benchmark's cases share: the picture's size, the processor
// clock, the time of a run per frame and the batches of generated inputs.
#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "../bench_grids.h"
#include "exporter/console.h"

constexpr int kWidth = quorlane::kBenchWidth, kHeight = quorlane::kBenchHeight;

inline double Sum(const FILETIME& a, const FILETIME& b) {
    return 1e-7 * double((uint64_t(a.dwHighDateTime) << 32 | a.dwLowDateTime) +
                         (uint64_t(b.dwHighDateTime) << 32 | b.dwLowDateTime));
}

// Processor seconds of this thread, or of the whole process: what a step
// costs whatever else the machine runs beside it (in steps of 10 ms under
// Wine, so steps are repeated).
inline double ProcessorSeconds(bool wholeProcess) {
    FILETIME created, exited, kernel, user;
    if (wholeProcess)
        GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    else
        GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    return Sum(kernel, user);
}

struct PerFrame {
    double wall, processor;  // ms per frame; wall < 0: the run failed
};

// `frames` inputs taken from `files` in turn.
inline std::vector<std::string> Batch(const std::vector<std::string>& files, int frames) {
    std::vector<std::string> paths;
    for (int k = 0; k < frames; ++k) paths.push_back(files[size_t(k) % files.size()]);
    return paths;
}

// A batch of one grid size: its generated files, taken in turn for `count`
// inputs.
struct BenchBatch {
    const char* label;
    const std::vector<std::string>* files;
    int count;
};

// A movie of `movieFrames` inputs of each batch through ffmpeg into a file
// under `root`, timed and reported; false when a movie fails.
bool TimeMovies(quorlane::Console& console, const std::vector<BenchBatch>& batches, int movieFrames,
                const std::filesystem::path& root);
