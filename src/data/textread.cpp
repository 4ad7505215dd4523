// The text-reading rules on a file's bytes: carriage returns dropped, Ctrl-Z
// ends the file, bounded line reads, header tokens, prefix conversions.
#include "data/textread.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>
#include <system_error>

#if defined(__SSE2__) && defined(__GNUC__) && !defined(QUORLANE_SCALAR_ONLY)
#include <emmintrin.h>
#endif

namespace {

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

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

#if defined(__SSE2__) && defined(__GNUC__) && !defined(QUORLANE_SCALAR_ONLY)
#define QUORLANE_SSE2_TEXT 1
#endif

// The bits set in a 16-bit mask.
inline unsigned Popcount16(unsigned v) {
    v = v - ((v >> 1) & 0x5555u);
    v = (v & 0x3333u) + ((v >> 2) & 0x3333u);
    v = (v + (v >> 4)) & 0x0F0Fu;
    return (v + (v >> 8)) & 0x1Fu;
}

// The first carriage return or Ctrl-Z in data[from, n), or n.
size_t FindCrOrCtrlZ(const char* data, size_t from, size_t n) {
    size_t k = from;
#ifdef QUORLANE_SSE2_TEXT
    const __m128i cr = _mm_set1_epi8('\r'), z = _mm_set1_epi8(0x1A);
    for (; k + 16 <= n; k += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + k));
        const int m = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, z)));
        if (m != 0) return k + size_t(__builtin_ctz(unsigned(m)));
    }
#endif
    while (k < n && data[k] != '\r' && data[k] != 0x1A) ++k;
    return k;
}

}  // namespace

size_t CleanText(char* data, size_t n, bool& ctrlZ) {
    ctrlZ = false;
    size_t r = FindCrOrCtrlZ(data, 0, n);
    size_t w = r;  // text kept so far
    while (r < n) {
        if (data[r] == 0x1A) {  // a Ctrl-Z ends the text
            ctrlZ = true;
            break;
        }
        // A carriage return: dropped, and the run up to the next one moved down.
        const size_t next = FindCrOrCtrlZ(data, r + 1, n);
        std::memmove(data + w, data + r + 1, next - r - 1);
        w += next - r - 1;
        r = next;
    }
    return w;
}

size_t CountLineReads(const char* p, size_t n) {
    // One read per line feed, and (L - 1) / 78 more for a line of L > 78
    // characters; the text after the last line feed takes ceil(L / 78).
    size_t reads = 0;
    size_t lineStart = 0;  // where the current line starts
    size_t k = 0;
#ifdef QUORLANE_SSE2_TEXT
    // Sixteen bytes at a time. Two line feeds in one block are at most 16
    // apart, so only the line that ends at a block's first one can be long.
    const __m128i nl = _mm_set1_epi8('\n');
    for (; k + 16 <= n; k += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + k));
        const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(v, nl)));
        if (mask == 0) continue;
        const size_t firstLen = k + size_t(__builtin_ctz(mask)) + 1 - lineStart;
        if (firstLen > kLineMax) reads += (firstLen - 1) / kLineMax;
        reads += Popcount16(mask);
        lineStart = k + size_t(31 - __builtin_clz(mask)) + 1;
    }
#endif
    for (; k < n; ++k) {
        if (p[k] != '\n') continue;
        reads += 1 + (k - lineStart) / kLineMax;
        lineStart = k + 1;
    }
    return reads + (n - lineStart + kLineMax - 1) / kLineMax;
}

size_t LineReadCut(const char* p, size_t n) {
    size_t k = n;
    while (k > 0 && p[k - 1] != '\n') --k;
    return k + (n - k) / kLineMax * kLineMax;
}

bool TextSource::More() {
    while (pos_ == len_) {
        if (ended_) return false;
        const size_t got = source_.Read(buf_, sizeof buf_);
        if (got == 0) {
            ended_ = true;
            failed_ = source_.Failed();
            return false;
        }
        bool ctrlZ;
        len_ = CleanText(buf_, got, ctrlZ);
        pos_ = 0;
        ended_ = ctrlZ;
    }
    return true;
}

size_t TextSource::Read(char* dst, size_t n) {
    size_t got = std::min(n, len_ - pos_);
    std::memcpy(dst, buf_ + pos_, got);
    pos_ += got;
    // The rest straight from the source into dst, cleaned there.
    while (got < n && !ended_) {
        const size_t raw = source_.Read(dst + got, n - got);
        if (raw == 0) {
            ended_ = true;
            failed_ = source_.Failed();
            break;
        }
        bool ctrlZ;
        got += CleanText(dst + got, raw, ctrlZ);
        ended_ = ctrlZ;
    }
    return got;
}

bool TextSource::ReadLine(std::string_view& line) {
    size_t len = 0;
    while (len < kLineMax && More()) {
        const size_t avail = std::min(len_ - pos_, kLineMax - len);
        const void* nl = std::memchr(buf_ + pos_, '\n', avail);
        const size_t take = nl ? size_t(static_cast<const char*>(nl) - (buf_ + pos_)) + 1 : avail;
        std::memcpy(line_ + len, buf_ + pos_, take);
        len += take;
        pos_ += take;
        if (nl) break;
    }
    line = std::string_view(line_, len);
    // A line is complete at its line feed or its 78th character, else only
    // at the end of the text, never at a read error.
    if (len == 0) return false;
    return line_[len - 1] == '\n' || len == kLineMax || !failed_;
}

TokenRead TextSource::ReadToken(std::string_view& token) {
    while (More() && IsSpace(buf_[pos_])) ++pos_;
    if (Ended()) return TokenRead::End;
    size_t n = 0;
    for (; More() && !IsSpace(buf_[pos_]); ++pos_, ++n)
        if (n < sizeof token_) token_[n] = buf_[pos_];
    while (More() && IsSpace(buf_[pos_])) ++pos_;
    if (failed_) return TokenRead::End;
    token = std::string_view(token_, std::min(n, sizeof token_));
    return n > kTokenMax ? TokenRead::TooLong : TokenRead::Ok;
}
// The start of both conversions: white space, then an optional sign.
// Returns true for a minus sign.
static bool SkipSpaceAndSign(const char*& p, const char* end) {
    while (p < end && IsSpace(*p)) ++p;
    if (p < end && (*p == '+' || *p == '-')) return *p++ == '-';
    return false;
}

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
