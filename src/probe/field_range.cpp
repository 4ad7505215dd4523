// The grid's range, row by row on the pool: each row's least and greatest
// values and its counts beyond the scale four at a time, the first cell of a
// new least or greatest value found only when the row holds one.
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
    __m128 mn = _mm_set1_ps(INFINITY), mx = _mm_set1_ps(-INFINITY);
    const __m128 vlo = _mm_set1_ps(lo), vhi = _mm_set1_ps(hi);
    __m128i below = _mm_setzero_si128(), above = _mm_setzero_si128();
    // Lane counts stay below 2^31: at most 2^20 steps before they are added up.
    while (k + 4 <= n) {
        const uint32_t end = k + std::min<uint32_t>((n - k) & ~3u, 1u << 22);
        for (; k < end; k += 4) {
            const __m128 x = _mm_loadu_ps(v + k);
            mn = _mm_min_ps(x, mn);  // x < mn ? x : mn, as Less
            mx = _mm_max_ps(x, mx);
            below = _mm_sub_epi32(below, _mm_castps_si128(_mm_cmplt_ps(x, vlo)));
            above = _mm_sub_epi32(above, _mm_castps_si128(_mm_cmpgt_ps(x, vhi)));
        }
        alignas(16) int32_t b[4], a[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(b), below);
        _mm_store_si128(reinterpret_cast<__m128i*>(a), above);
        for (int l = 0; l < 4; ++l) s.below += uint32_t(b[l]), s.above += uint32_t(a[l]);
        below = above = _mm_setzero_si128();
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, mn);
    for (float m : lanes) s.min = Less(m, s.min);
    _mm_store_ps(lanes, mx);
    for (float m : lanes) s.max = More(m, s.max);
#endif
    for (; k < n; ++k) {
        s.min = Less(v[k], s.min);
        s.max = More(v[k], s.max);
        s.below += v[k] < lo;
        s.above += v[k] > hi;
    }
    return s;
}

// The first column of a row that holds `value`.
uint32_t FirstColumnOf(const float* v, uint32_t n, float value) {
    uint32_t k = 0;
    while (k + 1 < n && !(v[k] == value)) ++k;
    return k + 1;
}

// The range of rows r0 … r1 − 1 (1-based array rows).
FieldRange RangeOfRows(const Grid& grid, uint32_t r0, uint32_t r1, float lo, float hi) {
    FieldRange r;
    float min = INFINITY, max = -INFINITY;
    for (uint32_t j = r0; j < r1; ++j) {
        const float* row = grid.Row(j) + 1;
        const RowSummary s = SummariseRow(row, grid.columns, lo, hi);
        r.below += s.below;
        r.above += s.above;
        // A row of NaN alone, or of a value no less (no greater) than the
        // one found, changes nothing; the first row with ±inf still counts.
        if (s.min < min || (!r.any && s.min == INFINITY && s.max == INFINITY)) {
            r.minColumn = FirstColumnOf(row, grid.columns, s.min);
            r.minRow = j;
            min = row[r.minColumn - 1];  // that cell's own zero, where ±0 tie
        }
        if (s.max > max || (!r.any && s.max == -INFINITY && s.min == -INFINITY)) {
            r.maxColumn = FirstColumnOf(row, grid.columns, s.max);
            r.maxRow = j;
            max = row[r.maxColumn - 1];
        }
        r.any = r.any || s.min <= s.max;
    }
    r.min = min;
    r.max = max;
    return r;
}

}  // namespace

FieldRange RangeOf(const Grid& grid, const DisplaySettings& settings, WorkerPool& pool,
                   unsigned threads) {
    if (!grid.Loaded() || grid.columns == 0 || grid.rows == 0) return FieldRange();
    const float lo = std::min(settings.scaleMin, settings.scaleMax);
    const float hi = std::max(settings.scaleMin, settings.scaleMax);
    const uint32_t tasks = std::max<uint32_t>(
        1, std::min<uint32_t>(grid.rows / kRowsPerTask, 4 * std::max(pool.Threads(), 1u)));
    std::vector<FieldRange> parts(tasks);
    pool.ForEach(tasks, threads, [&](size_t t, unsigned) {
        const uint32_t r0 = 1 + uint32_t(uint64_t(grid.rows) * t / tasks);
        const uint32_t r1 = 1 + uint32_t(uint64_t(grid.rows) * (t + 1) / tasks);
        parts[t] = RangeOfRows(grid, r0, r1, lo, hi);
    });
    // In row order, the earlier part keeping a tie: the first cell in file order.
    FieldRange r;
    for (const FieldRange& p : parts) {
        r.below += p.below;
        r.above += p.above;
        if (!p.any) continue;
        if (!r.any || p.min < r.min) r.min = p.min, r.minColumn = p.minColumn, r.minRow = p.minRow;
        if (!r.any || p.max > r.max) r.max = p.max, r.maxColumn = p.maxColumn, r.maxRow = p.maxRow;
        r.any = true;
    }
    return r;
}

}  // namespace quorlane
