// The grid's range, span by span: each row of a span four samples at a time
// for its least and greatest values and its counts beyond the scale, the
// first cell of a new least or greatest value found only where a row holds
// one; spans merged under a lock.
#include "probe/field_range.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "common/simd.h"
#include "common/worker_pool.h"

namespace quorlane {

namespace {

// The rows at least in one task, so that small grids stay on one thread.
constexpr uint32_t kRowsPerTask = 64;

struct RowSummary {
    float min, max;  // NaN samples left out; +inf / -inf when the row has none
    uint64_t below, above;
};

// v < m ? v : m and v > m ? v : m: a NaN v leaves m.
inline float Less(float v, float m) {
    return v < m ? v : m;
}
inline float More(float v, float m) {
    return v > m ? v : m;
}

RowSummary SummariseRow(const float* v, uint32_t n, float lo, float hi) {
    RowSummary s{INFINITY, -INFINITY, 0, 0};
    uint32_t k = 0;
#if QUORLANE_SSE2
    // Two sets of lanes, eight samples a step, so that the steps do not wait
    // for each other's minimum and maximum.
    __m128 mn[2] = {_mm_set1_ps(INFINITY), _mm_set1_ps(INFINITY)};
    __m128 mx[2] = {_mm_set1_ps(-INFINITY), _mm_set1_ps(-INFINITY)};
    const __m128 vlo = _mm_set1_ps(lo), vhi = _mm_set1_ps(hi);
    // Lane counts stay below 2^31: at most 2^19 steps before they are added up.
    while (k + 8 <= n) {
        __m128i below[2] = {_mm_setzero_si128(), _mm_setzero_si128()};
        __m128i above[2] = {_mm_setzero_si128(), _mm_setzero_si128()};
        const uint32_t end = k + std::min<uint32_t>((n - k) & ~7u, 1u << 22);
        for (; k < end; k += 8) {
            for (int h = 0; h < 2; ++h) {
                const __m128 x = _mm_loadu_ps(v + k + 4 * h);
                mn[h] = _mm_min_ps(x, mn[h]);  // x < mn ? x : mn, as Less
                mx[h] = _mm_max_ps(x, mx[h]);
                below[h] = _mm_sub_epi32(below[h], _mm_castps_si128(_mm_cmplt_ps(x, vlo)));
                above[h] = _mm_sub_epi32(above[h], _mm_castps_si128(_mm_cmpgt_ps(x, vhi)));
            }
        }
        alignas(16) int32_t b[4], a[4];
        for (int h = 0; h < 2; ++h) {
            _mm_store_si128(reinterpret_cast<__m128i*>(b), below[h]);
            _mm_store_si128(reinterpret_cast<__m128i*>(a), above[h]);
            for (int l = 0; l < 4; ++l) s.below += uint32_t(b[l]), s.above += uint32_t(a[l]);
        }
    }
    alignas(16) float lanes[4];
    for (int h = 0; h < 2; ++h) {
        _mm_store_ps(lanes, mn[h]);
        for (float m : lanes) s.min = Less(m, s.min);
        _mm_store_ps(lanes, mx[h]);
        for (float m : lanes) s.max = More(m, s.max);
    }
#endif
    for (; k < n; ++k) {
        s.min = Less(v[k], s.min);
        s.max = More(v[k], s.max);
        s.below += v[k] < lo;
        s.above += v[k] > hi;
    }
    return s;
}

// The first index of a span that holds `value`.
size_t FirstIndexOf(const float* v, size_t n, float value) {
    size_t k = 0;
    while (k + 1 < n && !(v[k] == value)) ++k;
    return k;
}

}  // namespace

RangeCollector::RangeCollector(const DisplaySettings& settings)
    : lo_(std::min(settings.scaleMin, settings.scaleMax)),
      hi_(std::max(settings.scaleMin, settings.scaleMax)) {}

void RangeCollector::Add(const Grid& grid, size_t first, size_t count) {
    if (count == 0 || grid.columns == 0) return;
    bool any = false;
    float min = 0, max = 0;
    size_t minAt = 0, maxAt = 0;
    uint64_t below = 0, above = 0;
    // Row by row: a span of the samples lies on consecutive rows of the block.
    for (size_t at = first, end = first + count; at < end;) {
        const uint32_t column = uint32_t(at % grid.columns);
        const uint32_t n = uint32_t(std::min<size_t>(grid.columns - column, end - at));
        const float* v = grid.Row(uint32_t(at / grid.columns) + 1) + 1 + column;
        const RowSummary s = SummariseRow(v, n, lo_, hi_);
        below += s.below;
        above += s.above;
        if (s.min <= s.max) {  // the span holds a number
            if (!any || s.min < min) min = s.min, minAt = at + FirstIndexOf(v, n, s.min);
            if (!any || s.max > max) max = s.max, maxAt = at + FirstIndexOf(v, n, s.max);
            any = true;
        }
        at += n;
    }
    const std::lock_guard<std::mutex> lock(mutex_);
    below_ += below;
    above_ += above;
    if (!any) return;
    if (!any_ || min < min_ || (min == min_ && minAt < minAt_)) min_ = min, minAt_ = minAt;
    if (!any_ || max > max_ || (max == max_ && maxAt < maxAt_)) max_ = max, maxAt_ = maxAt;
    any_ = true;
}

FieldRange RangeCollector::Result(const Grid& grid) const {
    const std::lock_guard<std::mutex> lock(mutex_);
    FieldRange r;
    r.below = below_;
    r.above = above_;
    if (!any_ || grid.columns == 0) return r;
    r.any = true;
    r.minColumn = uint32_t(minAt_ % grid.columns) + 1,
    r.minRow = uint32_t(minAt_ / grid.columns) + 1;
    r.maxColumn = uint32_t(maxAt_ % grid.columns) + 1,
    r.maxRow = uint32_t(maxAt_ / grid.columns) + 1;
    // The cells' own values: where +0 and -0 tie, the first one's sign.
    r.min = grid.Cell(r.minColumn, r.minRow);
    r.max = grid.Cell(r.maxColumn, r.maxRow);
    return r;
}

FieldRange RangeOf(const Grid& grid, const DisplaySettings& settings, WorkerPool& pool,
                   unsigned threads) {
    if (!grid.Loaded() || grid.columns == 0 || grid.rows == 0) return FieldRange();
    RangeCollector collector(settings);
    const uint32_t tasks = std::max<uint32_t>(
        1, std::min<uint32_t>(grid.rows / kRowsPerTask, 4 * std::max(pool.Threads(), 1u)));
    pool.ForEach(tasks, threads, [&](size_t t, unsigned) {
        const size_t r0 = size_t(grid.rows) * t / tasks, r1 = size_t(grid.rows) * (t + 1) / tasks;
        collector.Add(grid, r0 * grid.columns, (r1 - r0) * grid.columns);
    });
    return collector.Result(grid);
}

}  // namespace quorlane
