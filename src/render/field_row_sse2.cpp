// The SSE2 kernels of the field row painter: the step table's lookup and the
// field colour rule's arithmetic, four values at a time. Every lane either
// gives the scalar rule's pixel exactly or is handed to the scalar rule.
#include "render/field_row_sse2.h"

#if QUORLANE_SSE2

#include <emmintrin.h>

#include <cmath>
#include <initializer_list>

#include "render/colour.h"

namespace quorlane {

namespace {

// q and everything formed from it run in double, two lanes per register; q
// itself, the threshold tests and the choice between the pieces run on four
// float or 32-bit lanes. For a float q the test q >= 0.2 (double) equals
// q >= 0.2f, because the float nearest 0.2 lies above it, and likewise for
// 0.4, 0.6 and 0.8.

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

// The settings as the kernels use them, formed once per row.
struct RowSettings {
    __m128d scaleMax, scaleMin;   // widened
    __m128d inverseSpan;          // 1 / span, rounded to double
    __m128 scaleMin4, scaleMax4;  // as stored
    bool clip;
    __m128 qLimit;  // |q| below this keeps every component within 32 bits
    __m128d minR, minG, minB, spanR, spanG, spanB;
};

// The bound on |q| below which every component of the two-colour scale,
// min + span·q, lies well within 32 bits; 0 when there is none.
float TwoColourLimit(const DisplaySettings& s) {
    double largestMin = 0.0, largestSpan = 1.0;
    for (int32_t v : {s.minRed, s.minGreen, s.minBlue})
        largestMin = std::fmax(largestMin, std::fabs(double(v)));
    for (int32_t v : {s.RedSpan(), s.GreenSpan(), s.BlueSpan()})
        largestSpan = std::fmax(largestSpan, std::fabs(double(v)));
    const double room = 0x1p31 - 1024.0 - largestMin;
    return room > 0.0 ? float(room / largestSpan * 0.999) : 0.0f;
}

RowSettings MakeRowSettings(const DisplaySettings& s) {
    RowSettings r;
    r.scaleMax = _mm_set1_pd(s.scaleMax);
    r.scaleMin = _mm_set1_pd(s.scaleMin);
    r.inverseSpan = _mm_set1_pd(1.0 / double(s.ScaleSpan()));
    r.scaleMin4 = _mm_set1_ps(s.scaleMin);
    r.scaleMax4 = _mm_set1_ps(s.scaleMax);
    r.clip = s.Clips();
    // Rainbow pieces stay below 1.3e9 in magnitude while |q| < 1e6.
    r.qLimit = _mm_set1_ps(s.Rainbow() ? 1e6f : TwoColourLimit(s));
    r.minR = _mm_set1_pd(s.minRed);
    r.minG = _mm_set1_pd(s.minGreen);
    r.minB = _mm_set1_pd(s.minBlue);
    r.spanR = _mm_set1_pd(s.RedSpan());
    r.spanG = _mm_set1_pd(s.GreenSpan());
    r.spanB = _mm_set1_pd(s.BlueSpan());
    return r;
}

// The low 32 bits of two pairs of doubles, as four 32-bit lanes.
inline __m128i Low32(__m128d a, __m128d b) {
    return _mm_castps_si128(
        _mm_shuffle_ps(_mm_castpd_ps(a), _mm_castpd_ps(b), _MM_SHUFFLE(2, 0, 2, 0)));
}

// Lanes whose quotient by reciprocal may round to another float than the
// quotient by division. The product p = n · (1/span) lies within 3 units in
// the last place (of double) of the correctly rounded quotient n / span: both
// round to the same float unless a float rounding boundary (half-way between
// two floats: the low 29 bits of the double equal 0x10000000) lies near p,
// or p is too small to be a normal float (the boundaries move). Such lanes,
// about one in ten million, take the scalar rule.
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

// q of four values, rounded to float; with clipping, values below scaleMin
// take the low end's q and values above scaleMax the high end's. `redo` marks
// the lanes whose quotient must be formed by division instead.
template <bool Rainbow>
inline __m128 Q4(const RowSettings& row, __m128 f4, __m128d ff0, __m128d ff1, __m128i* redo) {
    __m128d q0, q1;
    if (Rainbow) {
        q0 = _mm_mul_pd(_mm_sub_pd(row.scaleMax, ff0), row.inverseSpan);
        q1 = _mm_mul_pd(_mm_sub_pd(row.scaleMax, ff1), row.inverseSpan);
    } else {
        q0 = _mm_mul_pd(_mm_sub_pd(ff0, row.scaleMin), row.inverseSpan);
        q1 = _mm_mul_pd(_mm_sub_pd(ff1, row.scaleMin), row.inverseSpan);
    }
    *redo = MaybeOtherFloat(q0, q1);
    __m128 q = _mm_movelh_ps(_mm_cvtpd_ps(q0), _mm_cvtpd_ps(q1));
    if (row.clip) {
        // The rainbow's low end is q = 1 and its high end q = 0. In the
        // two-colour scale q = 0 gives min exactly and q = 1 gives min + span,
        // that is max or max ± 2^32 (the span wraps), with the low 8 bits of max.
        const __m128 qLow = _mm_set1_ps(Rainbow ? 1.0f : 0.0f);
        const __m128 qHigh = _mm_set1_ps(Rainbow ? 0.0f : 1.0f);
        const __m128 below = _mm_cmpnge_ps(f4, row.scaleMin4);
        const __m128 above = _mm_andnot_ps(below, _mm_cmpgt_ps(f4, row.scaleMax4));
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

inline __m128i TwoColour4(const RowSettings& row, __m128 q4) {
    const __m128d q0 = _mm_cvtps_pd(q4), q1 = _mm_cvtps_pd(_mm_movehl_ps(q4, q4));
    auto part = [&](__m128d min, __m128d span) {
        return _mm_and_si128(
            Trunc4(_mm_add_pd(min, _mm_mul_pd(span, q0)), _mm_add_pd(min, _mm_mul_pd(span, q1))),
            _mm_set1_epi32(255));
    };
    return _mm_or_si128(_mm_or_si128(_mm_slli_epi32(part(row.minR, row.spanR), 16),
                                     _mm_slli_epi32(part(row.minG, row.spanG), 8)),
                        part(row.minB, row.spanB));
}

// Four values by the rule's arithmetic; lanes it cannot settle (NaN, q far
// outside the scale, quotients that need the division) take the scalar rule.
template <bool Rainbow>
void Arithmetic4(const DisplaySettings& settings, const RowSettings& row, const float* values,
                 uint32_t* pixels) {
    const __m128 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
    const __m128 f4 = _mm_loadu_ps(values);
    const __m128d ff0 = _mm_cvtps_pd(f4), ff1 = _mm_cvtps_pd(_mm_movehl_ps(f4, f4));
    __m128i redo;
    const __m128 q4 = Q4<Rainbow>(row, f4, ff0, ff1, &redo);
    const __m128i px = Rainbow ? Rainbow4(q4) : TwoColour4(row, q4);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), px);
    const __m128 ok = _mm_andnot_ps(
        _mm_castsi128_ps(redo),
        _mm_and_ps(_mm_cmplt_ps(_mm_and_ps(q4, absMask), row.qLimit), _mm_cmpord_ps(f4, f4)));
    const int bad = ~_mm_movemask_ps(ok) & 0xF;
    for (int l = 0; l < 4; ++l)
        if (bad & (1 << l)) pixels[l] = PixelOf(FieldColour(settings, values[l]));
}

// The buckets of four values, formed exactly as FieldStepTable::BucketOf.
inline __m128i BucketOf4(__m128 f, __m128 lo, __m128 scale) {
    const __m128 x = _mm_min_ps(_mm_mul_ps(_mm_sub_ps(f, lo), scale),
                                _mm_set1_ps(float(FieldStepTable::kBuckets - 1)));  // NaN: last
    return _mm_cvttps_epi32(_mm_max_ps(x, _mm_setzero_ps()));
}

// Four values at a time by the table; groups with a value outside it, or in
// a slow bucket, take the arithmetic.
template <bool Rainbow>
int TableRow(const DisplaySettings& settings, const FieldStepTable& t, const RowSettings& row,
             const float* values, uint32_t* pixels, int n) {
    const __m128 lo = _mm_set1_ps(t.lo), hi = _mm_set1_ps(t.hi), scale = _mm_set1_ps(t.scale);
    const __m128 lowPx = _mm_castsi128_ps(_mm_set1_epi32(int(t.lowPixel)));
    const __m128 highPx = _mm_castsi128_ps(_mm_set1_epi32(int(t.highPixel)));
    const FieldStepTable::Bucket* buckets = t.buckets.data();
    int k = 0;
    for (; k + 4 <= n; k += 4) {
        const __m128 f = _mm_loadu_ps(values + k);
        alignas(16) int32_t idx[4];
        _mm_store_si128(reinterpret_cast<__m128i*>(idx), BucketOf4(f, lo, scale));
        const FieldStepTable::Bucket* b[4] = {&buckets[idx[0]], &buckets[idx[1]], &buckets[idx[2]],
                                              &buckets[idx[3]]};
        __m128 s0 = _mm_load_ps(b[0]->step), s1 = _mm_load_ps(b[1]->step);
        __m128 s2 = _mm_load_ps(b[2]->step), px = _mm_load_ps(b[3]->step);
        __m128 c0 = _mm_load_ps(reinterpret_cast<const float*>(b[0]->change));
        __m128 c1 = _mm_load_ps(reinterpret_cast<const float*>(b[1]->change));
        __m128 c2 = _mm_load_ps(reinterpret_cast<const float*>(b[2]->change));
        __m128 c3 = _mm_load_ps(reinterpret_cast<const float*>(b[3]->change));
        _MM_TRANSPOSE4_PS(s0, s1, s2, px);  // steps 0, 1, 2 and the first pixel of each lane
        _MM_TRANSPOSE4_PS(c0, c1, c2, c3);
        px = _mm_xor_ps(px, _mm_and_ps(_mm_cmpge_ps(f, s0), c0));
        px = _mm_xor_ps(px, _mm_and_ps(_mm_cmpge_ps(f, s1), c1));
        px = _mm_xor_ps(px, _mm_and_ps(_mm_cmpge_ps(f, s2), c2));
        int ok = _mm_movemask_ps(_mm_and_ps(_mm_cmpge_ps(f, lo), _mm_cmple_ps(f, hi))) &
                 ~_mm_movemask_ps(px);
        if (row.clip) {
            const __m128 below = _mm_cmplt_ps(f, lo), above = _mm_cmpgt_ps(f, hi);
            px = _mm_or_ps(_mm_andnot_ps(_mm_or_ps(below, above), px),
                           _mm_or_ps(_mm_and_ps(below, lowPx), _mm_and_ps(above, highPx)));
            ok |= _mm_movemask_ps(_mm_or_ps(below, above));
        }
        _mm_storeu_ps(reinterpret_cast<float*>(pixels + k), px);
        if (ok != 0xF) Arithmetic4<Rainbow>(settings, row, values + k, pixels + k);
    }
    return k;
}

template <bool Rainbow>
int Row(const DisplaySettings& settings, const FieldStepTable* table, const float* values,
        uint32_t* pixels, int n) {
    const RowSettings row = MakeRowSettings(settings);
    if (table) return TableRow<Rainbow>(settings, *table, row, values, pixels, n);
    int k = 0;
    for (; k + 4 <= n; k += 4) Arithmetic4<Rainbow>(settings, row, values + k, pixels + k);
    return k;
}

}  // namespace

int PaintFieldRowSse2(const DisplaySettings& settings, const FieldStepTable* table,
                      const float* values, uint32_t* pixels, int n) {
    if (settings.ScaleSpan() == 0.0f) return 0;  // no formula: the scalar rule's ends
    return settings.Rainbow() ? Row<true>(settings, table, values, pixels, n)
                              : Row<false>(settings, table, values, pixels, n);
}

}  // namespace quorlane

#endif  // QUORLANE_SSE2
