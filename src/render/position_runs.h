#pragma once
// Exact position runs. The field image visits the positions s + n (n = 1, 2,
// ...) from a box's start s, and the band those of its own box. They are
// taken exactly, never by adding 1 to a stored float again and again, which
// would skip a row or a column once the fraction of a fractional start no
// longer fits the float. The pixel of a position is its truncation toward
// zero and the stop tests compare the exact position. Where stored-float
// stepping is exact (whole or representable starts) this is the very same
// set of pixels.
#include <cstdint>

namespace quorlane {

// trunc of a value already known to lie within the coordinate limit.
inline int64_t Trunc(double v) {
    return int64_t(v);
}

// A run of exact positions s + n, n = 1, 2, ...: s split into its whole part
// ts (toward zero) and its fraction rs, both exact.
struct ExactStart {
    int64_t ts;
    double rs;
};

ExactStart SplitStart(float s);

// trunc(s + n) of the exact sum.
int64_t PixelOfStep(const ExactStart& r, int64_t n);

// Whether s + n < e − c holds exactly (e a float, c a small whole number).
// With s = ts + rs and e = te + re (fractions in (−1, 1)) this is
// k < re − rs for the whole number k = ts + n + c − te; only k = −1, 0, 1
// need the fractions. re ∓ 1 may round in double only when re is below
// 2^-29 in size, and then every float fraction rs lies on the same side of
// both the exact and the rounded value, so each answer is exact.
bool Before(const ExactStart& s, int64_t n, const ExactStart& e, int64_t c);

// The visited positions n = 1 … last of the run from s while s + n < e − c,
// cut to the pixels 0 … size − 1. Gives the first and last n whose pixel is
// inside; the pixels of first … last are then consecutive. When two
// positions fall on pixel 0 (one in (−1, 0), one in [0, 1)) the earlier is
// left out: the later one overwrites it with nothing drawn in between.
// Returns false when no position falls inside.
bool VisibleSteps(const ExactStart& s, const ExactStart& e, int64_t c, int64_t size, int64_t* first,
                  int64_t* last);

}  // namespace quorlane
