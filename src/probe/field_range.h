#pragma once
// The grid's range: its least and greatest samples and the cells where they
// first lie (in file order: top row first, left to right), and how many
// samples lie below and above the scale. Found once per load, on the pool;
// the result is the same on any number of threads.
#include <cstdint>

#include "data/grid.h"
#include "data/settings.h"

namespace quorlane {

class WorkerPool;

struct FieldRange {
    bool any = false;  // some sample is a number (NaN samples are left out)
    float min = 0, max = 0;
    uint32_t minColumn = 0, minRow = 0;  // 1-based, row 1 at the top
    uint32_t maxColumn = 0, maxRow = 0;
    // Samples below the lower and above the upper end of the scale (its
    // ends in either order; infinities count, NaN does not).
    uint64_t below = 0, above = 0;
};

// The range of `grid`'s samples against the scale of `settings`, on at most
// `threads` threads of `pool` (0: all of them).
FieldRange RangeOf(const Grid& grid, const DisplaySettings& settings, WorkerPool& pool,
                   unsigned threads = 0);

}  // namespace quorlane
