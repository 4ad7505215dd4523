#pragma once
// The grid's range: its least and greatest samples and the cells where they
// first lie (in file order: top row first, left to right), and how many
// samples lie below and above the scale. Found once per load, on the pool;
// the result is the same on any number of threads.
#include <cstddef>
#include <cstdint>
#include <mutex>

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

// The range gathered from spans of samples in any order, on any threads at
// once: each span is summarised by the thread that hands it in, and merged
// under a lock, the least and greatest by value and then by the first
// sample in file order, so that the result does not depend on the order.
// Add() neither allocates nor throws, so a load's PiecesParsed may call it.
class RangeCollector {
  public:
    explicit RangeCollector(const DisplaySettings& settings);
    // Samples first … first + count − 1 of `grid`, row after row from 0.
    void Add(const Grid& grid, size_t first, size_t count);
    // The range of every sample handed in, as read from `grid`.
    FieldRange Result(const Grid& grid) const;

  private:
    float lo_, hi_;  // the scale's lower and upper end
    mutable std::mutex mutex_;
    bool any_ = false;
    float min_ = 0, max_ = 0;
    size_t minAt_ = 0, maxAt_ = 0;  // sample indices
    uint64_t below_ = 0, above_ = 0;
};

// The range of `grid`'s samples against the scale of `settings`, on at most
// `threads` threads of `pool` (0: all of them).
FieldRange RangeOf(const Grid& grid, const DisplaySettings& settings, WorkerPool& pool,
                   unsigned threads = 0);

}  // namespace quorlane
