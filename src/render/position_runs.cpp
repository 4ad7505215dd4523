// Exact position runs: where the positions s + n fall in pixels, and the
// exact stop tests against a box's end.
#include "render/position_runs.h"

#include <algorithm>
#include <cmath>

namespace quorlane {

ExactStart SplitStart(float s) {
    const double d = s;
    const double t = std::trunc(d);
    return {int64_t(t), d - t};  // exact: the fraction of a float
}

int64_t PixelOfStep(const ExactStart& r, int64_t n) {
    const int64_t m = r.ts + n;
    if (r.rs > 0) return m >= 0 ? m : m + 1;
    if (r.rs < 0) return m > 0 ? m - 1 : m;
    return m;
}

bool Before(const ExactStart& s, int64_t n, const ExactStart& e, int64_t c) {
    const int64_t k = s.ts + n + c - e.ts;
    if (k <= -2) return true;
    if (k >= 2) return false;
    if (k == 0) return s.rs < e.rs;
    if (k == 1) return s.rs < e.rs - 1.0;
    return s.rs < e.rs + 1.0;
}

bool VisibleSteps(const ExactStart& s, const ExactStart& e, int64_t c, int64_t size, int64_t* first,
                  int64_t* last) {
    if (size <= 0) return false;
    // The last n with s + n < e − c lies at k = 0 ± 1.
    const int64_t n0 = e.ts - c - s.ts;
    int64_t hi = n0 - 2;
    for (int64_t n = n0 + 1; n >= n0 - 1; --n) {
        if (Before(s, n, e, c)) {
            hi = n;
            break;
        }
    }
    // Its pixel is below 0 or at most a few steps from it.
    int64_t lo = std::max<int64_t>(1, -s.ts - 2);
    while (lo <= hi && PixelOfStep(s, lo) < 0) ++lo;
    if (lo < hi && PixelOfStep(s, lo + 1) == PixelOfStep(s, lo)) ++lo;
    int64_t top = std::min<int64_t>(hi, size - s.ts + 2);
    while (top >= lo && PixelOfStep(s, top) >= size) --top;
    if (top < lo) return false;
    *first = lo;
    *last = top;
    return true;
}

}  // namespace quorlane
