// The text-reading rules on a file's bytes: carriage returns dropped, Ctrl-Z
// ends the file, bounded line reads and header tokens.
#include "data/textread.h"

#include <algorithm>
#include <cstring>

#include "common/simd.h"

namespace quorlane {

namespace {

// The bits set in a 16-bit and in a 64-bit mask.
inline unsigned Popcount16(unsigned v) {
    v = v - ((v >> 1) & 0x5555u);
    v = (v & 0x3333u) + ((v >> 2) & 0x3333u);
    v = (v + (v >> 4)) & 0x0F0Fu;
    return (v + (v >> 8)) & 0x1Fu;
}
inline unsigned Popcount64(uint64_t v) {
    v = v - ((v >> 1) & 0x5555555555555555u);
    v = (v & 0x3333333333333333u) + ((v >> 2) & 0x3333333333333333u);
    v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return unsigned((v * 0x0101010101010101u) >> 56);
}

#if QUORLANE_SSE2
__m128i Load16(const char* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
// One bit for each of the 64 bytes at p that equals a byte of `c`.
uint64_t Mask64(const char* p, __m128i c) {
    const auto bits = [p, c](int at) {
        return uint64_t(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(Load16(p + at), c))));
    };
    return bits(0) | bits(16) << 16 | bits(32) << 32 | bits(48) << 48;
}
#endif

// The first carriage return or Ctrl-Z in data[from, n), or n.
size_t FindCrOrCtrlZ(const char* data, size_t from, size_t n) {
    size_t k = from;
#if QUORLANE_SSE2
    const __m128i cr = _mm_set1_epi8('\r'), z = _mm_set1_epi8(0x1A);
    const auto either = [cr, z](__m128i v) {
        return _mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, z));
    };
    // Sixty-four bytes at a time while there is none, the usual case.
    for (; k + 64 <= n; k += 64) {
        const char* const p = data + k;
        const __m128i any =
            _mm_or_si128(_mm_or_si128(either(Load16(p)), either(Load16(p + 16))),
                         _mm_or_si128(either(Load16(p + 32)), either(Load16(p + 48))));
        if (_mm_movemask_epi8(any) != 0) break;
    }
    for (; k + 16 <= n; k += 16) {
        const int m = _mm_movemask_epi8(either(Load16(data + k)));
        if (m != 0) return k + size_t(LowestSetBit(unsigned(m)));
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
#if QUORLANE_SSE2
    // Sixty-four bytes at a time, then sixteen. Two line feeds in one block
    // are less than 64 apart, so only the line that ends at a block's first
    // one can be long.
    const __m128i nl = _mm_set1_epi8('\n');
    for (; k + 64 <= n; k += 64) {
        const uint64_t mask = Mask64(p + k, nl);
        if (mask == 0) continue;
        const size_t firstLen = k + size_t(LowestSetBit64(mask)) + 1 - lineStart;
        if (firstLen > kLineMax) reads += (firstLen - 1) / kLineMax;
        reads += Popcount64(mask);
        lineStart = k + size_t(HighestSetBit64(mask)) + 1;
    }
    for (; k + 16 <= n; k += 16) {
        const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(Load16(p + k), nl)));
        if (mask == 0) continue;
        const size_t firstLen = k + size_t(LowestSetBit(mask)) + 1 - lineStart;
        if (firstLen > kLineMax) reads += (firstLen - 1) / kLineMax;
        reads += Popcount16(mask);
        lineStart = k + size_t(HighestSetBit(mask)) + 1;
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
    if (n == 0) return 0;
    if (pos_ < len_) {  // what the buffer still holds
        const size_t got = std::min(n, len_ - pos_);
        std::memcpy(dst, buf_ + pos_, got);
        pos_ += got;
        return got;
    }
    // Else one read of the source straight into dst, cleaned there; again
    // only when it held nothing but carriage returns.
    while (!ended_) {
        const size_t raw = source_.Read(dst, n);
        if (raw == 0) {
            ended_ = true;
            failed_ = source_.Failed();
            break;
        }
        bool ctrlZ;
        const size_t got = CleanText(dst, raw, ctrlZ);
        ended_ = ctrlZ;
        if (got > 0) return got;
    }
    return 0;
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

TokenRead TextSource::ReadToken(std::string_view& token, bool stopWhenTooLong) {
    while (More() && IsSpace(buf_[pos_])) ++pos_;
    if (Ended()) return TokenRead::End;
    size_t n = 0;
    for (; More() && !IsSpace(buf_[pos_]); ++pos_) {
        if (n < sizeof token_) token_[n] = buf_[pos_];
        if (++n > kTokenMax && stopWhenTooLong) {
            ++pos_;
            token = std::string_view(token_, sizeof token_);
            return TokenRead::TooLong;
        }
    }
    while (More() && IsSpace(buf_[pos_])) ++pos_;
    if (failed_) return TokenRead::End;
    token = std::string_view(token_, std::min(n, sizeof token_));
    return n > kTokenMax ? TokenRead::TooLong : TokenRead::Ok;
}

}  // namespace quorlane
