#pragma once
// What the native tools share: a whole number from the command line, and the
// two files of the working directory loaded as the programs load them.
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "common/worker_pool.h"
#include "data/grid_loader.h"
#include "data/settings.h"

namespace quorlane {

// A whole number from 0 to 1,000,000 written in full; false for anything else.
inline bool ParseWholeNumber(const char* s, int* out) {
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(s, &end, 10);
    if (errno != 0 || end == s || *end != '\0' || v < 0 || v > 1000000) return false;
    *out = int(v);
    return true;
}

// Loads "quorlane.dat" and "quorlane.ini" of the working directory; on a
// failure prints its message to stderr and returns false.
inline bool LoadWorkingDirectory(Grid& grid, DisplaySettings& settings, WorkerPool& pool) {
    LoadResult r = LoadGrid(grid, pool);
    if (r.ok) r = LoadSettings(settings);
    if (!r.ok) std::fprintf(stderr, "%s\n", r.message.c_str());
    return r.ok;
}

}  // namespace quorlane
