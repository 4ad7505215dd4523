// Colour scales: the rainbow ramps, the two-colour scale, the field colour
// rule and the band colour rule.
//
// All arithmetic between the stored 32-bit values runs in double; the
// scale position q is rounded to a float before the ramps see it. The
// conversion to a component truncates toward zero to a 64-bit integer and
// keeps the low 8 bits, so components outside 0..255 wrap.
#include "render/colour.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "data/settings.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define QUORLANE_SSE2 1
#endif

static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "float and double must be IEEE 754 binary32 and binary64");

namespace {

// True when trunc(v) is a 64-bit signed integer (false for NaN).
inline bool FitsInt64(double v) {
    return v >= -0x1p63 && v < 0x1p63;
}

// The ramps before the byte conversion; q is the float position widened.
// Thresholds are tested in increasing order, each as q >= threshold.
inline double RedRamp(double q) {
    if (!(q >= 0.2)) return 255.0;
    if (!(q >= 0.6)) return 255.0 - ((q - 0.2) * 255.0) * 2.5;
    return 0.0;
}
inline double GreenRamp(double q) {
    if (!(q >= 0.2)) return (255.0 * q) * 5.0;
    if (!(q >= 0.6)) return 255.0;
    return 255.0 - ((q - 0.6) * 255.0) * 2.5;
}
inline double BlueRamp(double q) {
    if (!(q >= 0.4)) return 0.0;
    if (!(q >= 0.6)) return ((q - 0.4) * 255.0) * 5.0;
    if (!(q >= 0.8)) return 255.0;
    return 255.0 - ((q - 0.8) * 127.0) * 5.0;
}

inline uint8_t Low8(int32_t v) {
    return static_cast<uint8_t>(static_cast<uint32_t>(v));
}

Colour RainbowAt(float q) {
    return MakeColour(fRed(q), fGreen(q), fBlue(q));
}

// The two ends of the field scale in the current mode: the low end is the
// colour of Fmin, the high end the colour of Fmax.
Colour LowEnd() {
    return color == 1 ? RainbowAt(1.0f) : MakeColour(Low8(minRed), Low8(minGreen), Low8(minBlue));
}
Colour HighEnd() {
    return color == 1 ? RainbowAt(0.0f) : MakeColour(Low8(maxRed), Low8(maxGreen), Low8(maxBlue));
}

// The scale position of FF: the rainbow runs from Fmax (q = 0) down, the
// two-colour scale from Fmin up.
inline float ScaleQ(float FF) {
    return color == 1 ? static_cast<float>((static_cast<double>(Fmax) - FF) / dFF)
                      : static_cast<float>((static_cast<double>(FF) - Fmin) / dFF);
}

// Red, green and blue of FF by the formula, before the byte conversion.
inline void Components(float FF, double c[3]) {
    const float q = ScaleQ(FF);
    if (color == 1) {
        c[0] = RedRamp(q), c[1] = GreenRamp(q), c[2] = BlueRamp(q);
    } else {
        c[0] = minRed + dRed * static_cast<double>(q);
        c[1] = minGreen + dGreen * static_cast<double>(q);
        c[2] = minBlue + dBlue * static_cast<double>(q);
    }
}

// The end of the scale nearer to FF in value terms, for values the formula
// cannot colour (infinite, or beyond the range of the byte conversion).
// With Fmax below Fmin the Fmin end is the upper one.
bool NearerIsLow(float FF) {
    return Fmin <= Fmax ? FF < Fmin : FF > Fmin;
}

}  // namespace

uint8_t ByteOf(double v) {
    // Out of range of a 64-bit integer (or NaN): no conversion, 0. The field
    // colour rule never gets here with such a value.
    if (!FitsInt64(v)) return 0;
    return static_cast<uint8_t>(static_cast<uint64_t>(static_cast<int64_t>(v)));
}

uint8_t fRed(float q) {
    return ByteOf(RedRamp(q));
}
uint8_t fGreen(float q) {
    return ByteOf(GreenRamp(q));
}
uint8_t fBlue(float q) {
    return ByteOf(BlueRamp(q));
}

Colour FieldColour(float FF) {
    if (std::isnan(FF)) return kLightGrey;
    const bool clip = clipping == 1;
    if (clip && !(FF >= Fmin)) return LowEnd();
    if (clip && FF > Fmax) return HighEnd();
    if (dFF == 0.0f) return FF < Fmin ? LowEnd() : HighEnd();
    if (std::isinf(FF)) return NearerIsLow(FF) ? LowEnd() : HighEnd();

    double c[3];
    Components(FF, c);
    if (!FitsInt64(c[0]) || !FitsInt64(c[1]) || !FitsInt64(c[2]))
        return NearerIsLow(FF) ? LowEnd() : HighEnd();
    return MakeColour(ByteOf(c[0]), ByteOf(c[1]), ByteOf(c[2]));
}

Colour BandColour(float x, float xstart, float xend, float qy) {
    if (color == 1) {
        const float q = static_cast<float>((static_cast<double>(xend) - x) / qy);
        return RainbowAt(q);
    }
    const double q = static_cast<float>((static_cast<double>(x) - xstart) / qy);
    return MakeColour(ByteOf(minRed + dRed * q), ByteOf(minGreen + dGreen * q),
                      ByteOf(minBlue + dBlue * q));
}

#ifdef QUORLANE_SSE2
namespace {

// Four values at a time. q and everything formed from it run in double,
// two lanes per register; q itself, the threshold tests and the choice
// between the pieces run on four float or 32-bit lanes. For a float q the
// test q >= 0.2 (double) equals q >= 0.2f, because the float nearest 0.2
// lies above it, and likewise for 0.4, 0.6 and 0.8.

inline __m128 SelectPs(__m128 mask, __m128 yes, __m128 no) {
    return _mm_or_ps(_mm_and_ps(mask, yes), _mm_andnot_ps(mask, no));
}
inline __m128i SelectEpi32(__m128i mask, __m128i yes, __m128i no) {
    return _mm_or_si128(_mm_and_si128(mask, yes), _mm_andnot_si128(mask, no));
}

// Truncates two pairs of doubles to four 32-bit integers. Lanes whose value
// does not fit are redone by the caller; within 32 bits the low 8 bits equal
// those of the 64-bit truncation.
inline __m128i Trunc4(__m128d lo, __m128d hi) {
    return _mm_unpacklo_epi64(_mm_cvttpd_epi32(lo), _mm_cvttpd_epi32(hi));
}

struct RowSettings {
    __m128d fmax, fmin;   // widened
    __m128d inv;          // 1 / dFF, rounded to double
    __m128 fmin4, fmax4;  // as stored
    bool clip;
    __m128 qLimit;  // |q| below this keeps every component within 32 bits
    __m128d minR, minG, minB, dR, dG, dB;
};

// The low 32 bits of two pairs of doubles, as four 32-bit lanes.
inline __m128i Low32(__m128d a, __m128d b) {
    return _mm_castps_si128(
        _mm_shuffle_ps(_mm_castpd_ps(a), _mm_castpd_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
}

// Lanes whose quotient by reciprocal may round to another float than the
// quotient by division. The product p = n · (1/dFF) lies within 3 units in
// the last place (of double) of the correctly rounded quotient n / dFF: both
// round to the same float unless a float rounding boundary (half-way
// between two floats: the low 29 bits of the double equal 0x10000000) lies
// near p, or p is too small to be a normal float (the boundaries move).
// Such lanes, about one in ten million, take the exact rule.
inline __m128i MaybeOtherFloat(__m128d p0, __m128d p1) {
    const __m128i near = _mm_and_si128(
        _mm_add_epi32(Low32(p0, p1), _mm_set1_epi32(32 - 0x10000000)), _mm_set1_epi32(0x1FFFFFFF));
    const __m128d absMask = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    const __m128d tiny = _mm_set1_pd(0x1p-125), zero = _mm_setzero_pd();
    auto small = [&](__m128d p) {
        return _mm_and_pd(_mm_cmplt_pd(_mm_and_pd(p, absMask), tiny), _mm_cmpneq_pd(p, zero));
    };
    return _mm_or_si128(_mm_cmplt_epi32(near, _mm_set1_epi32(65)), Low32(small(p0), small(p1)));
}

// q of four values, rounded to float; with clipping, values below Fmin take
// qLow and values above Fmax qHigh. `redo` marks the lanes whose quotient
// must be formed by division instead.
template <bool Rainbow>
inline __m128 Q4(const RowSettings& s, __m128 f4, __m128d ff0, __m128d ff1, __m128i* redo) {
    __m128d q0, q1;
    if (Rainbow) {
        q0 = _mm_mul_pd(_mm_sub_pd(s.fmax, ff0), s.inv);
        q1 = _mm_mul_pd(_mm_sub_pd(s.fmax, ff1), s.inv);
    } else {
        q0 = _mm_mul_pd(_mm_sub_pd(ff0, s.fmin), s.inv);
        q1 = _mm_mul_pd(_mm_sub_pd(ff1, s.fmin), s.inv);
    }
    *redo = MaybeOtherFloat(q0, q1);
    __m128 q = _mm_movelh_ps(_mm_cvtpd_ps(q0), _mm_cvtpd_ps(q1));
    if (s.clip) {
        // The rainbow's low end is q = 1 and its high end q = 0. In the
        // two-colour scale q = 0 gives min exactly and q = 1 gives min + d,
        // that is max or max ± 2^32 (d wraps), with the low 8 bits of max.
        const __m128 qLow = _mm_set1_ps(Rainbow ? 1.0f : 0.0f),
                     qHigh = _mm_set1_ps(Rainbow ? 0.0f : 1.0f);
        const __m128 below = _mm_cmpnge_ps(f4, s.fmin4);
        const __m128 above = _mm_andnot_ps(below, _mm_cmpgt_ps(f4, s.fmax4));
        q = SelectPs(above, qHigh, SelectPs(below, qLow, q));
    }
    return q;
}

inline __m128i Rainbow4(__m128 q4) {
    const __m128d c255 = _mm_set1_pd(255.0), c25 = _mm_set1_pd(2.5), c5 = _mm_set1_pd(5.0);
    const __m128d q0 = _mm_cvtps_pd(q4), q1 = _mm_cvtps_pd(_mm_movehl_ps(q4, q4));
    auto fall = [&](__m128d q, double t) {  // 255 − ((q − t)·255)·2.5
        return _mm_sub_pd(c255, _mm_mul_pd(_mm_mul_pd(_mm_sub_pd(q, _mm_set1_pd(t)), c255), c25));
    };
    auto blueRise = [&](__m128d q) {
        return _mm_mul_pd(_mm_mul_pd(_mm_sub_pd(q, _mm_set1_pd(0.4)), c255), c5);
    };
    auto blueFall = [&](__m128d q) {
        return _mm_sub_pd(
            c255, _mm_mul_pd(_mm_mul_pd(_mm_sub_pd(q, _mm_set1_pd(0.8)), _mm_set1_pd(127.0)), c5));
    };
    // (255·q)·5 is exact in double for every float q, and so equals 1275·q.
    const __m128d c1275 = _mm_set1_pd(1275.0);
    const __m128i redFall = Trunc4(fall(q0, 0.2), fall(q1, 0.2));
    const __m128i greenRise = Trunc4(_mm_mul_pd(q0, c1275), _mm_mul_pd(q1, c1275));
    const __m128i greenFall = Trunc4(fall(q0, 0.6), fall(q1, 0.6));
    const __m128i blueMid = Trunc4(blueRise(q0), blueRise(q1));
    const __m128i blueHigh = Trunc4(blueFall(q0), blueFall(q1));

    const __m128i m2 = _mm_castps_si128(_mm_cmpge_ps(q4, _mm_set1_ps(0.2f)));
    const __m128i m4 = _mm_castps_si128(_mm_cmpge_ps(q4, _mm_set1_ps(0.4f)));
    const __m128i m6 = _mm_castps_si128(_mm_cmpge_ps(q4, _mm_set1_ps(0.6f)));
    const __m128i m8 = _mm_castps_si128(_mm_cmpge_ps(q4, _mm_set1_ps(0.8f)));
    const __m128i k255 = _mm_set1_epi32(255);
    // Red's sloped piece and blue's rising piece stay within 0..255.
    const __m128i r = _mm_andnot_si128(m6, SelectEpi32(m2, redFall, k255));
    const __m128i g = SelectEpi32(m6, greenFall, SelectEpi32(m2, k255, greenRise));
    const __m128i b = SelectEpi32(m8, blueHigh, SelectEpi32(m6, k255, _mm_and_si128(m4, blueMid)));
    return _mm_or_si128(
        _mm_or_si128(_mm_slli_epi32(r, 16), _mm_slli_epi32(_mm_and_si128(g, k255), 8)),
        _mm_and_si128(b, k255));
}

inline __m128i TwoColour4(const RowSettings& s, __m128 q4) {
    const __m128d q0 = _mm_cvtps_pd(q4), q1 = _mm_cvtps_pd(_mm_movehl_ps(q4, q4));
    auto part = [&](__m128d min, __m128d d) {
        return _mm_and_si128(
            Trunc4(_mm_add_pd(min, _mm_mul_pd(d, q0)), _mm_add_pd(min, _mm_mul_pd(d, q1))),
            _mm_set1_epi32(255));
    };
    return _mm_or_si128(
        _mm_or_si128(_mm_slli_epi32(part(s.minR, s.dR), 16), _mm_slli_epi32(part(s.minG, s.dG), 8)),
        part(s.minB, s.dB));
}

// Four values by the arithmetic above.
template <bool Rainbow>
void Exact4(const RowSettings& s, const float* FF, uint32_t* pixels) {
    const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128 f4 = _mm_loadu_ps(FF);
    const __m128d ff0 = _mm_cvtps_pd(f4), ff1 = _mm_cvtps_pd(_mm_movehl_ps(f4, f4));
    __m128i redo;
    const __m128 q4 = Q4<Rainbow>(s, f4, ff0, ff1, &redo);
    const __m128i px = Rainbow ? Rainbow4(q4) : TwoColour4(s, q4);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), px);
    // NaN values, q far outside the scale and quotients that need the
    // division take the scalar rule.
    const __m128 ok = _mm_andnot_ps(
        _mm_castsi128_ps(redo),
        _mm_and_ps(_mm_cmplt_ps(_mm_and_ps(q4, absMask), s.qLimit), _mm_cmpord_ps(f4, f4)));
    const int bad = ~_mm_movemask_ps(ok) & 0xF;
    for (int l = 0; l < 4; ++l)
        if (bad & (1 << l)) pixels[l] = PixelOf(FieldColour(FF[l]));
}

// For fixed settings the colour is a step function of the field value. The
// table covers the values the formula colours, lo <= FF <= hi, split into
// buckets by a monotone index. A bucket holds the pixel of its first value
// and up to kSteps steps: the value from which the pixel changes and the bits
// that change there. The steps are found by bisection over the floats, which
// needs each component before the byte conversion to be monotone within the
// bucket; buckets where that fails, or with more steps, are marked slow and
// take the arithmetic.
constexpr int kBuckets = 2048;
constexpr int kSteps = 3;
constexpr uint32_t kSlow = 0x80000000u;  // in a bucket's first pixel

struct alignas(32) Bucket {
    float step[kSteps];  // ascending; +inf when unused
    uint32_t first;
    uint32_t change[kSteps];  // the pixel before XOR the pixel from the step on
    uint32_t unused;
};

struct Table {
    uint32_t key[11];  // the settings it was built for
    bool usable;
    float lo, hi, scale;
    uint32_t lowPx, highPx;  // clipped values below and above
    Bucket bucket[kBuckets];
};
Table table;

// The bucket of four values; the same operations build the table.
inline __m128i Index4(__m128 f, __m128 lo, __m128 scale) {
    const __m128 x =
        _mm_min_ps(_mm_mul_ps(_mm_sub_ps(f, lo), scale), _mm_set1_ps(kBuckets - 1));  // NaN: last
    return _mm_cvttps_epi32(_mm_max_ps(x, _mm_setzero_ps()));
}

// Floats as integers in the same order (both zeros are 0), and back.
inline int32_t Rank(float f) {
    int32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b >= 0 ? b : -(b & 0x7FFFFFFF);
}
inline float FromRank(int64_t r) {
    const uint32_t b =
        r >= 0 ? static_cast<uint32_t>(r) : (static_cast<uint32_t>(-r) | 0x80000000u);
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

// A component of FF before the byte conversion; every one of them fits in
// 64 bits inside the formula's range.
int64_t Whole(int64_t rank, int ch) {
    double c[3];
    Components(FromRank(rank), c);
    return FitsInt64(c[ch]) ? static_cast<int64_t>(c[ch]) : INT64_MIN;
}
uint32_t PixelAt(int64_t rank) {
    return PixelOf(FieldColour(FromRank(rank)));
}

// Fills the bucket of ranks a..z; false when it is slow.
bool FillBucket(Bucket& bk, int64_t a, int64_t z) {
    bk = Bucket{{INFINITY, INFINITY, INFINITY}, kSlow, {0, 0, 0}, 0};
    if (a > z) return true;  // no float falls here
    if (color == 1) {
        // Green turns from rising to falling at q = 0.6, blue at q = 0.8.
        const double qa = ScaleQ(FromRank(a)), qz = ScaleQ(FromRank(z));
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
    n = static_cast<int>(std::unique(at, at + n) - at);
    if (n > kSteps) return false;
    uint32_t before = PixelAt(a);
    bk.first = before;
    for (int j = 0; j < n; ++j) {
        const uint32_t px = PixelAt(at[j]);
        bk.step[j] = FromRank(at[j]);
        bk.change[j] = before ^ px;
        before = px;
    }
    return true;
}

void Build(Table& t) {
    t.usable = false;
    const bool clip = clipping == 1;
    if (dFF == 0.0f || !std::isfinite(Fmin) || !std::isfinite(Fmax) || (clip && Fmin > Fmax))
        return;
    t.lo = std::fmin(Fmin, Fmax), t.hi = std::fmax(Fmin, Fmax);
    const float span = t.hi - t.lo;
    t.scale = kBuckets / span;
    if (!(span > 0.0f) || !std::isfinite(span) || !std::isfinite(t.scale)) return;
    t.lowPx = PixelOf(FieldColour(-INFINITY)), t.highPx = PixelOf(FieldColour(INFINITY));
    const __m128 lo = _mm_set1_ps(t.lo), scale = _mm_set1_ps(t.scale);
    const int64_t last = Rank(t.hi);
    int slow = 0;
    int64_t a = Rank(t.lo);
    for (int i = 0; i < kBuckets; ++i) {
        const int64_t next = FirstWhere(a, last, [&](int64_t r) {
            return _mm_cvtsi128_si32(Index4(_mm_set1_ps(FromRank(r)), lo, scale)) > i;
        });
        slow += !FillBucket(t.bucket[i], a, next - 1);
        a = next;
    }
    t.usable = slow <= kBuckets / 16;
}

// The table for the current settings, rebuilt when any of them changes.
const Table& CurrentTable() {
    uint32_t key[11];
    const float f[3] = {Fmin, Fmax, dFF};
    std::memcpy(key, f, sizeof f);
    const int32_t i[6] = {minRed, minGreen, minBlue, dRed, dGreen, dBlue};
    std::memcpy(key + 3, i, sizeof i);
    key[9] = clipping, key[10] = color;
    static bool built = false;
    if (!built || std::memcmp(key, table.key, sizeof key) != 0) {
        Build(table);
        std::memcpy(table.key, key, sizeof key);
        built = true;
    }
    return table;
}

// Four values at a time by the table; groups with a value outside it, or in
// a slow bucket, take the arithmetic.
template <bool Rainbow>
int FieldRowTable(const Table& t, const RowSettings& s, const float* FF, uint32_t* pixels, int n) {
    const __m128 lo = _mm_set1_ps(t.lo), hi = _mm_set1_ps(t.hi), scale = _mm_set1_ps(t.scale);
    const __m128 lowPx = _mm_castsi128_ps(_mm_set1_epi32(static_cast<int>(t.lowPx)));
    const __m128 highPx = _mm_castsi128_ps(_mm_set1_epi32(static_cast<int>(t.highPx)));
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m128 f = _mm_loadu_ps(FF + k);
        alignas(16) int32_t idx[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(idx), Index4(f, lo, scale));
        const Bucket* b[4] = {&t.bucket[idx[0]], &t.bucket[idx[1]], &t.bucket[idx[2]],
                              &t.bucket[idx[3]]};
        __m128 s0 = _mm_load_ps(b[0]->step), s1 = _mm_load_ps(b[1]->step),
               s2 = _mm_load_ps(b[2]->step), px = _mm_load_ps(b[3]->step);
        __m128 c0 = _mm_load_ps(reinterpret_cast<const float*>(b[0]->change)),
               c1 = _mm_load_ps(reinterpret_cast<const float*>(b[1]->change)),
               c2 = _mm_load_ps(reinterpret_cast<const float*>(b[2]->change)),
               c3 = _mm_load_ps(reinterpret_cast<const float*>(b[3]->change));
        _MM_TRANSPOSE4_PS(s0, s1, s2, px);  // steps 0, 1, 2 and the first pixel of each lane
        _MM_TRANSPOSE4_PS(c0, c1, c2, c3);
        px = _mm_xor_ps(px, _mm_and_ps(_mm_cmpge_ps(f, s0), c0));
        px = _mm_xor_ps(px, _mm_and_ps(_mm_cmpge_ps(f, s1), c1));
        px = _mm_xor_ps(px, _mm_and_ps(_mm_cmpge_ps(f, s2), c2));
        int ok = _mm_movemask_ps(_mm_and_ps(_mm_cmpge_ps(f, lo), _mm_cmple_ps(f, hi))) &
                 ~_mm_movemask_ps(px);
        if (s.clip) {
            const __m128 below = _mm_cmplt_ps(f, lo), above = _mm_cmpgt_ps(f, hi);
            px = _mm_or_ps(_mm_andnot_ps(_mm_or_ps(below, above), px),
                           _mm_or_ps(_mm_and_ps(below, lowPx), _mm_and_ps(above, highPx)));
            ok |= _mm_movemask_ps(_mm_or_ps(below, above));
        }
        _mm_storeu_ps(reinterpret_cast<float*>(pixels + k), px);
        if (ok != 0xF) Exact4<Rainbow>(s, FF + k, pixels + k);
    }
    return k;
}

// The bound on |q| below which every component of the two-colour scale,
// min + d·q, lies well within 32 bits; 0 when there is none.
float TwoColourLimit() {
    double maxMin = 0.0, maxD = 1.0;
    for (int32_t v : {minRed, minGreen, minBlue})
        maxMin = std::fmax(maxMin, std::fabs(static_cast<double>(v)));
    for (int32_t v : {dRed, dGreen, dBlue})
        maxD = std::fmax(maxD, std::fabs(static_cast<double>(v)));
    const double room = 0x1p31 - 1024.0 - maxMin;
    return room > 0.0 ? static_cast<float>(room / maxD * 0.999) : 0.0f;
}

}  // namespace
#endif

void FieldRow(const float* FF, uint32_t* pixels, int n) {
    int k = 0;
#ifdef QUORLANE_SSE2
    // Fmax equal to Fmin has no formula; those rows take the scalar rule.
    if (dFF != 0.0f) {
        RowSettings s;
        s.fmax = _mm_set1_pd(Fmax);
        s.fmin = _mm_set1_pd(Fmin);
        s.inv = _mm_set1_pd(1.0 / static_cast<double>(dFF));
        s.fmin4 = _mm_set1_ps(Fmin);
        s.fmax4 = _mm_set1_ps(Fmax);
        s.clip = clipping == 1;
        // Rainbow pieces stay below 1.3e9 in magnitude while |q| < 1e6.
        s.qLimit = _mm_set1_ps(color == 1 ? 1e6f : TwoColourLimit());
        s.minR = _mm_set1_pd(minRed);
        s.minG = _mm_set1_pd(minGreen);
        s.minB = _mm_set1_pd(minBlue);
        s.dR = _mm_set1_pd(dRed);
        s.dG = _mm_set1_pd(dGreen);
        s.dB = _mm_set1_pd(dBlue);
        const Table& t = CurrentTable();
        if (t.usable) {
            k = color == 1 ? FieldRowTable<true>(t, s, FF, pixels, n)
                           : FieldRowTable<false>(t, s, FF, pixels, n);
        } else {
            for (; k + 4 <= n; k += 4)
                color == 1 ? Exact4<true>(s, FF + k, pixels + k)
                           : Exact4<false>(s, FF + k, pixels + k);
        }
    }
#endif
    for (; k < n; ++k) pixels[k] = PixelOf(FieldColour(FF[k]));
}
