// The number conversions of the text rules: integer and real prefixes, with
// a fast path for the short decimals that fill a grid file, and the first word.
#include "data/numbers.h"

#include <cfloat>
#include <charconv>
#include <cstring>
#include <limits>
#include <system_error>

namespace {

// The value of a number too large or too small for a float, [num, numEnd)
// being its digits, point and exponent: the decimal position of the first
// significant digit plus the exponent tells which.
[[gnu::noinline, gnu::cold]] float OutOfRange(const char* num, const char* numEnd) {
    const char* p = num;
    while (p < numEnd && IsDigit(*p)) ++p;
    const char* const intEnd = p;
    const char* fracBegin = p;
    if (p < numEnd && *p == '.') fracBegin = ++p;
    while (p < numEnd && IsDigit(*p)) ++p;
    const char* const fracEnd = p;

    int64_t mag;
    const char* d = num;
    while (d < intEnd && *d == '0') ++d;
    if (d < intEnd) {
        mag = int64_t(intEnd - d) - 1;
    } else {
        d = fracBegin;
        while (d < fracEnd && *d == '0') ++d;
        if (d == fracEnd) return 0.0f;  // all zeros
        mag = -(int64_t(d - fracBegin) + 1);
    }
    int64_t e = 0;
    const char* q = fracEnd;
    if (q < numEnd) {
        ++q;  // e or E
        bool eneg = false;
        if (*q == '+' || *q == '-') eneg = *q++ == '-';
        for (; q < numEnd; ++q) {
            e = e * 10 + (*q - '0');
            if (e > (int64_t(1) << 40)) e = int64_t(1) << 40;
        }
        if (eneg) e = -e;
    }
    return mag + e >= 0 ? std::numeric_limits<float>::infinity() : 0.0f;
}

// The powers of ten that a double holds exactly.
constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The common short number, [p, end) starting with a digit or a point and a
// digit, without a sign: at most 19 significant digits m and a decimal
// exponent k with m < 2^53 and |k| <= 22. Then m and 10^|k| are exact
// doubles, so m × 10^k or m / 10^-k is the correctly rounded double d, and
// rounding d to a float gives the correctly rounded float unless d lies
// exactly half-way between two floats (the true value may lie to either side
// of it). False for every other number, which the general conversion takes.
bool ShortReal(const char* p, const char* end, float& out) {
#if FLT_EVAL_METHOD == 0
    uint64_t m = 0;
    int digits = 0, k = 0;
    while (p < end && *p == '0') ++p;
    for (; p < end && IsDigit(*p); ++p) {
        if (digits == 19) return false;
        m = m * 10 + uint64_t(*p - '0');
        ++digits;
    }
    if (p < end && *p == '.') {
        ++p;
        if (digits == 0)
            for (; p < end && *p == '0'; ++p) --k;
        for (; p < end && IsDigit(*p); ++p) {
            if (digits == 19) return false;
            m = m * 10 + uint64_t(*p - '0');
            ++digits;
            --k;
        }
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        const char* q = p + 1;
        bool eneg = false;
        if (q < end && (*q == '+' || *q == '-')) eneg = *q++ == '-';
        int e = 0;
        for (; q < end && IsDigit(*q); ++q)
            if (e < 100000) e = e * 10 + (*q - '0');
        k += eneg ? -e : e;
    }
    if (m == 0) {
        out = 0.0f;
        return true;
    }
    if (m >= (uint64_t(1) << 53) || k < -22 || k > 22) return false;
    const double d = k >= 0 ? double(m) * kPow10[k] : double(m) / kPow10[-k];
    // Every d here is a normal float's size (1e-22 to 9e37), so a half-way
    // point has a one and 28 zeros in the 29 bits a float drops.
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    if ((bits & 0x1FFFFFFFu) == 0x10000000u) return false;
    out = float(d);
    return true;
#else
    (void)p, (void)end, (void)out;
    return false;
#endif
}

// The start of both conversions: white space, then an optional sign.
// Returns true for a minus sign.
bool SkipSpaceAndSign(const char*& p, const char* end) {
    while (p < end && IsSpace(*p)) ++p;
    if (p < end && (*p == '+' || *p == '-')) return *p++ == '-';
    return false;
}

}  // namespace

int32_t IntPrefix(std::string_view s) {
    const char* p = s.data();
    const char* const end = p + s.size();
    const bool neg = SkipSpaceAndSign(p, end);
    // Accumulate the magnitude, held just past the 32-bit range once beyond it.
    const int64_t cap = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    int64_t v = 0;
    for (; p < end && IsDigit(*p); ++p) {
        v = v * 10 + (*p - '0');
        if (v > cap) v = cap;
    }
    if (neg) return v >= cap ? std::numeric_limits<int32_t>::min() : int32_t(-v);
    return v >= cap ? std::numeric_limits<int32_t>::max() : int32_t(v);
}

float RealPrefix(const char* p, const char* end) {
    const bool neg = SkipSpaceAndSign(p, end);
    // A number starts with a digit, or with a point and a digit. From there
    // the decimal form (digits with at most one point, then an exponent only
    // when it has a digit) is exactly what from_chars takes in the general
    // format; "inf", "nan" and hexadecimal forms cannot start this way.
    if (p == end) return 0.0f;
    if (!IsDigit(*p) && !(*p == '.' && end - p > 1 && IsDigit(p[1]))) return 0.0f;
    float v = 0.0f;
    if (!ShortReal(p, end, v)) {
        std::from_chars_result r = std::from_chars(p, end, v, std::chars_format::general);
        if (r.ec != std::errc()) v = OutOfRange(p, r.ptr);
    }
    return neg ? -v : v;
}

bool FirstWord(std::string_view s, std::string_view& word) {
    // The text ends at a zero byte, as a C string would.
    const char* p = s.data();
    const char* const end = p + s.size();
    while (p < end && IsSpace(*p)) ++p;
    const char* start = p;
    while (p < end && *p != '\0' && !IsSpace(*p)) ++p;
    if (p == start) return false;
    word = std::string_view(start, size_t(p - start));
    return true;
}
