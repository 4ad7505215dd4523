// The field row painter and its exact step table. Every tier (the scalar rule
// of colour.cpp, this table, the SSE2 kernels of field_row_sse2.cpp) gives bit
// for bit PixelOf(FieldColour(settings, v)), and hands what it cannot settle
// exactly to a slower one: see "The exactness rule" in docs/architecture.md.
#include "render/field_row.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "render/colour.h"
#include "render/field_row_sse2.h"

namespace quorlane {

namespace {

using Bucket = FieldStepTable::Bucket;
constexpr int kBuckets = FieldStepTable::kBuckets;
constexpr int kSteps = FieldStepTable::kSteps;

// Floats as integers in the same order (both zeros are 0), and back.
int32_t Rank(float f) {
    int32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b >= 0 ? b : -(b & 0x7FFFFFFF);
}
float FromRank(int64_t r) {
    const uint32_t b = r >= 0 ? uint32_t(r) : (uint32_t(-r) | 0x80000000u);
    float f;
    std::memcpy(&f, &b, sizeof f);
    return f;
}

// The first rank in [a, b] where the monotone test holds; b + 1 if none.
template <class Test>
int64_t FirstWhere(int64_t a, int64_t b, Test test) {
    for (int64_t end = b + 1; a < end;) {
        const int64_t mid = a + (end - a) / 2;
        if (test(mid))
            end = mid;
        else
            a = mid + 1;
    }
    return a;
}

// How the table keeps the rule. For fixed settings the colour is a step
// function of the field value: between lo = min(scaleMin, scaleMax) and
// hi = max(scaleMin, scaleMax) each component, before its byte conversion,
// is a piecewise monotone function of the value. The table splits [lo, hi]
// into kBuckets buckets by the monotone index BucketOf. For each bucket it
// finds, by bisection over the float bit patterns, every value at which a
// component's whole part changes, evaluating the scalar rule itself at each
// probe; it stores the bucket's first pixel and, for up to kSteps such
// values, the value and the bits that change there. Bisection needs each
// component to be monotone within the bucket: buckets where a rainbow
// component turns, where a component leaves the 64-bit range, or that hold
// more than kSteps steps are marked slow and take the arithmetic, as do
// values outside [lo, hi], NaN, and settings the table cannot serve (a scale
// of zero or infinite span, clipping with scaleMax below scaleMin, or too
// many slow buckets).
class TableBuilder {
  public:
    explicit TableBuilder(const DisplaySettings& s) : s_(s) {}

    // Fills `t` for the settings; leaves its buckets empty when it cannot serve them.
    void Build(FieldStepTable& t) const {
        t.buckets.clear();
        const float span = s_.ScaleSpan();
        if (span == 0.0f || !std::isfinite(s_.scaleMin) || !std::isfinite(s_.scaleMax) ||
            (s_.Clips() && s_.scaleMin > s_.scaleMax))
            return;
        t.lo = std::fmin(s_.scaleMin, s_.scaleMax);
        t.hi = std::fmax(s_.scaleMin, s_.scaleMax);
        const float width = t.hi - t.lo;
        t.scale = kBuckets / width;
        if (!(width > 0.0f) || !std::isfinite(width) || !std::isfinite(t.scale)) return;
        t.lowPixel = PixelOf(FieldColour(s_, -INFINITY));
        t.highPixel = PixelOf(FieldColour(s_, INFINITY));

        std::vector<Bucket> buckets(kBuckets);
        const int64_t last = Rank(t.hi);
        int slow = 0;
        int64_t a = Rank(t.lo);
        for (int i = 0; i < kBuckets; ++i) {
            const int64_t next =
                FirstWhere(a, last, [&](int64_t r) { return t.BucketOf(FromRank(r)) > i; });
            slow += !FillBucket(buckets[i], a, next - 1);
            a = next;
        }
        if (slow <= kBuckets / 16) t.buckets = std::move(buckets);
    }

  private:
    // A component of the value of rank `rank` before the byte conversion;
    // INT64_MIN when it lies beyond 64 bits.
    int64_t Whole(int64_t rank, int channel) const {
        double c[3];
        FormulaLevels(s_, FromRank(rank), c);
        return c[channel] >= -0x1p63 && c[channel] < 0x1p63 ? int64_t(c[channel]) : INT64_MIN;
    }
    uint32_t PixelOfRank(int64_t rank) const { return PixelOf(FieldColour(s_, FromRank(rank))); }

    // Fills the bucket of ranks a..z; false when it is slow.
    bool FillBucket(Bucket& bk, int64_t a, int64_t z) const {
        bk = Bucket{{INFINITY, INFINITY, INFINITY}, FieldStepTable::kSlow, {0, 0, 0}, 0};
        if (a > z) return true;  // no float falls here
        if (s_.Rainbow()) {
            // Green turns from rising to falling at q = 0.6, blue at q = 0.8.
            const double qa = ScalePosition(s_, FromRank(a)), qz = ScalePosition(s_, FromRank(z));
            if ((qa >= 0.6) != (qz >= 0.6) || (qa >= 0.8) != (qz >= 0.8)) return false;
        }
        int64_t at[3 * kSteps + 1];
        int n = 0;
        for (int ch = 0; ch < 3; ++ch) {
            const int64_t end = Whole(z, ch);
            for (int64_t pos = a, v = Whole(a, ch); v != end; v = Whole(pos, ch)) {
                if (v == INT64_MIN || n == 3 * kSteps) return false;
                pos = FirstWhere(pos + 1, z, [&](int64_t r) { return Whole(r, ch) != v; });
                at[n++] = pos;
            }
        }
        for (int j = 1; j < n; ++j)  // sort, few elements
            for (int m = j; m > 0 && at[m - 1] > at[m]; --m) std::swap(at[m - 1], at[m]);
        n = int(std::unique(at, at + n) - at);
        if (n > kSteps) return false;
        uint32_t before = PixelOfRank(a);
        bk.first = before;
        for (int j = 0; j < n; ++j) {
            const uint32_t px = PixelOfRank(at[j]);
            bk.step[j] = FromRank(at[j]);
            bk.change[j] = before ^ px;
            before = px;
        }
        return true;
    }

    const DisplaySettings& s_;
};

}  // namespace

FieldRowPainter::FieldRowPainter(const DisplaySettings& settings) : settings_(settings) {
    TableBuilder(settings_).Build(table_);
}

uint32_t FieldRowPainter::PixelOfValue(float v) const {
    const FieldStepTable& t = table_;
    if (!t.buckets.empty()) {
        if (v >= t.lo && v <= t.hi) {
            const Bucket& b = t.buckets[size_t(t.BucketOf(v))];
            uint32_t px = b.first;
            for (int k = 0; k < kSteps; ++k)
                if (v >= b.step[k]) px ^= b.change[k];
            if (!(px & FieldStepTable::kSlow)) return px;
        } else if (settings_.Clips() && !std::isnan(v)) {
            return v < t.lo ? t.lowPixel : t.highPixel;
        }
    }
    return PixelOf(FieldColour(settings_, v));
}

void FieldRowPainter::Paint(const float* values, uint32_t* pixels, int n) const {
    int k = 0;
#if QUORLANE_SSE2
    k = PaintFieldRowSse2(settings_, HasStepTable() ? &table_ : nullptr, values, pixels, n);
#endif
    for (; k < n; ++k) pixels[k] = PixelOfValue(values[k]);
}

}  // namespace quorlane
