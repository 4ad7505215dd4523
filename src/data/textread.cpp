// The text-reading rules on a file's bytes: carriage returns dropped, Ctrl-Z
// ends the file, bounded line reads, header tokens, prefix conversions.
#include "data/textread.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <system_error>

#include <sys/stat.h>
#include <sys/types.h>

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

// The size of the open file when it is a regular file, else 0.
size_t RegularFileSize(std::FILE* f) {
#if defined(_WIN32)
    struct _stat64 st;
    if (_fstat64(_fileno(f), &st) != 0 || (st.st_mode & _S_IFMT) != _S_IFREG) return 0;
#else
    struct stat st;
    if (fstat(fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
#endif
    return st.st_size > 0 ? size_t(st.st_size) : 0;
}

}  // namespace

bool ReadFileBytes(const char* path, std::vector<char>& out) {
    out.clear();
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    // Large reads into a buffer that grows as needed; the first size is the
    // file's length plus one, so one read usually takes all of it.
    bool ok = true;
    try {
        const size_t first = RegularFileSize(f) + 1;
        out.resize(first > (size_t(1) << 16) ? first : size_t(1) << 16);
        size_t n = 0;
        for (;;) {
            n += std::fread(out.data() + n, 1, out.size() - n, f);
            if (n < out.size()) {
                ok = !std::ferror(f);
                out.resize(n);
                break;
            }
            out.resize(n * 2);
        }
    } catch (const std::exception&) {  // no memory for the file
        ok = false;
    }
    std::fclose(f);
    if (!ok) std::vector<char>().swap(out);
    return ok;
}

TextIn OpenText(char* data, size_t n) {
    if (n == 0) return {data, data};
    // A Ctrl-Z ends the file.
    if (const void* z = std::memchr(data, 0x1A, n)) n = size_t(static_cast<const char*>(z) - data);
    // Drop every carriage return, moving the rest down in place.
    char* const end = data + n;
    char* w = static_cast<char*>(std::memchr(data, '\r', n));
    if (w) {
        const char* r = w + 1;
        while (r < end) {
            const void* cr = std::memchr(r, '\r', size_t(end - r));
            const char* stop = cr ? static_cast<const char*>(cr) : end;
            size_t len = size_t(stop - r);
            std::memmove(w, r, len);
            w += len;
            r = stop + 1;
        }
        return {data, w};
    }
    return {data, end};
}

bool ReadLine(TextIn& in, std::string_view& line) {
    if (in.p >= in.end) return false;
    size_t avail = size_t(in.end - in.p);
    size_t lim = avail < kLineMax ? avail : kLineMax;
    const void* nl = std::memchr(in.p, '\n', lim);
    size_t len = nl ? size_t(static_cast<const char*>(nl) - in.p) + 1 : lim;
    line = std::string_view(in.p, len);
    in.p += len;
    return true;
}

TokenRead ReadToken(TextIn& in, std::string_view& token) {
    const char* p = in.p;
    const char* const end = in.end;
    while (p < end && IsSpace(*p)) ++p;
    if (p >= end) {
        in.p = p;
        return TokenRead::End;
    }
    const char* start = p;
    while (p < end && !IsSpace(*p)) ++p;
    token = std::string_view(start, size_t(p - start));
    while (p < end && IsSpace(*p)) ++p;
    in.p = p;
    return token.size() > kTokenMax ? TokenRead::TooLong : TokenRead::Ok;
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

float RealPrefix(std::string_view s) {
    const char* p = s.data();
    const char* const end = p + s.size();
    const bool neg = SkipSpaceAndSign(p, end);
    // A number starts with a digit, or with a point and a digit. From there
    // the decimal form (digits with at most one point, then an exponent only
    // when it has a digit) is exactly what from_chars takes in the general
    // format; "inf", "nan" and hexadecimal forms cannot start this way.
    if (p == end) return 0.0f;
    if (!IsDigit(*p) && !(*p == '.' && end - p > 1 && IsDigit(p[1]))) return 0.0f;
    float v = 0.0f;
    std::from_chars_result r = std::from_chars(p, end, v, std::chars_format::general);
    if (r.ec != std::errc()) v = OutOfRange(p, r.ptr);
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
