// The number conversions of the text rules: integer and real prefixes, and the
// first word.
#include "data/numbers.h"

#include <fast_float/fast_float.h>

#include <cfloat>
#include <cstring>
#include <limits>

namespace quorlane {

namespace {

// The powers of ten from 10^-22 to 10^22 as doubles, each the nearest double
// to its power (those from 10^0 up exactly so).
constexpr double kPow10[] = {1e-22, 1e-21, 1e-20, 1e-19, 1e-18, 1e-17, 1e-16, 1e-15, 1e-14,
                             1e-13, 1e-12, 1e-11, 1e-10, 1e-9,  1e-8,  1e-7,  1e-6,  1e-5,
                             1e-4,  1e-3,  1e-2,  1e-1,  1e0,   1e1,   1e2,   1e3,   1e4,
                             1e5,   1e6,   1e7,   1e8,   1e9,   1e10,  1e11,  1e12,  1e13,
                             1e14,  1e15,  1e16,  1e17,  1e18,  1e19,  1e20,  1e21,  1e22};
constexpr int kPow10Min = -22, kPow10Max = 22;

// Eight characters at once, the first in the lowest byte (a little-endian
// word; the text is read so on every processor the programs are built for).
uint64_t EightChars(const char* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
bool AreEightDigits(uint64_t v) {
    return ((v & 0xF0F0F0F0F0F0F0F0u) | (((v + 0x0606060606060606u) & 0xF0F0F0F0F0F0F0F0u) >> 4)) ==
           0x3333333333333333u;
}
// The value of eight digits, the first the most significant: pairs, then
// fours, then the eight, a multiplication each.
uint32_t EightDigitsValue(uint64_t v) {
    v -= 0x3030303030303030u;
    v = v * 10 + (v >> 8);
    v = ((v & 0x000000FF000000FFu) * 0x000F424000000064u +
         ((v >> 16) & 0x000000FF000000FFu) * 0x0000271000000001u) >>
        32;
    return uint32_t(v);
}

// The project's own conversion of the numbers that fill grid files: at most
// 19 digits m (leading zeros counted) and a decimal exponent k, |k| <= 22,
// p at a digit or at a point and a digit. d = m × 10^k in doubles has three
// roundings at most (m itself from 2^53 on, the power below 10^0, the
// product), so it is within 3 units in its last place of the true value, and
// every such value (1e-22 to 1e41) lies beyond the subnormals. The float
// nearest d is then the correctly rounded one unless a point half-way between
// two floats (or the limit past which a float overflows) lies that close to d,
// where the 29 bits a float drops from d read within 3 of 1 and 28 zeros.
// False for every other number, and for those within 4 units of such a point,
// which fast_float takes. In the loader's loop this takes about 7.5, 9.5 and
// 12 to 15 ns a value on lines of %.4f, %.9g and %.18e where fast_float's own
// entry takes 10.5, 13 and 15 to 18 ns (load_bench, BM_Convert), so it goes
// first for every number it can take.
bool ShortReal(const char* p, const char* end, float& out, const char*& numberEnd) {
#if FLT_EVAL_METHOD == 0 && (!defined(__BYTE_ORDER__) || __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__)
    const char* q = p;
    uint64_t m = 0;  // wraps past 20 digits, which are then left to fast_float
    for (; q < end && IsDigit(*q); ++q) m = m * 10 + uint64_t(*q - '0');
    ptrdiff_t digits = q - p;
    int k = 0;
    if (q < end && *q == '.') {
        const char* const fraction = ++q;
        for (; end - q >= 8 && AreEightDigits(EightChars(q)); q += 8)
            m = m * 100000000u + EightDigitsValue(EightChars(q));
        for (; q < end && IsDigit(*q); ++q) m = m * 10 + uint64_t(*q - '0');
        k = -int(q - fraction);
        digits += q - fraction;
    }
    if (digits > 19) return false;
    if (q < end && (*q == 'e' || *q == 'E')) {
        const char* r = q + 1;
        bool negative = false;
        if (r < end && (*r == '+' || *r == '-')) negative = *r++ == '-';
        if (r < end && IsDigit(*r)) {  // else the number ends before the 'e'
            int e = 0;
            for (; r < end && IsDigit(*r); ++r)
                if (e < 100000) e = e * 10 + (*r - '0');
            k += negative ? -e : e;
            q = r;
        }
    }
    if (k < kPow10Min || k > kPow10Max) return false;
    const double d = double(m) * kPow10[k - kPow10Min];
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    if (uint32_t(bits & 0x1FFFFFFFu) - (0x10000000u - 4) <= 8) return false;
    numberEnd = q;
    out = float(d);
    return true;
#else
    (void)p, (void)end, (void)out, (void)numberEnd;
    return false;
#endif
}

// Every number that ShortReal leaves, apart so that the common path stays
// small.
[[gnu::noinline, gnu::cold]] float GeneralReal(const char* p, const char* end,
                                               const char*& numberEnd) {
    float v = 0.0f;
    numberEnd = fast_float::from_chars(p, end, v, fast_float::chars_format::general).ptr;
    return v;
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

float SignedRealPrefix(const char* p, const char* end, const char*& numberEnd) {
    numberEnd = p;
    bool neg = false;
    if (p < end && (*p == '+' || *p == '-')) neg = *p++ == '-';
    // A number starts with a digit, or with a point and a digit. From there
    // the decimal form (digits with at most one point, then an exponent only
    // when it has a digit) is exactly what fast_float takes in the general
    // format; its "inf", "nan" and signs cannot start this way. It rounds
    // correctly for any count of digits, subnormals included, and gives an
    // infinity above the float range and zero below it (Debian's version 3.9
    // reports neither as an error, later ones report both while giving the
    // same values: the value is taken either way).
    if (p == end) return 0.0f;
    if (!IsDigit(*p) && !(*p == '.' && end - p > 1 && IsDigit(p[1]))) return 0.0f;
    float v;
    if (!ShortReal(p, end, v, numberEnd)) v = GeneralReal(p, end, numberEnd);
    return neg ? -v : v;
}

float RealPrefix(const char* p, const char* end) {
    while (p < end && IsSpace(*p)) ++p;
    const char* numberEnd;
    return SignedRealPrefix(p, end, numberEnd);
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

}  // namespace quorlane
