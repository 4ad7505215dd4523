#pragma once
// The viewer's text-reading rules, applied to a file's bytes by the program
// itself (never by a C runtime's text mode), so that every platform reads a
// file alike:
//   - every carriage return (0x0D) is dropped;
//   - a Ctrl-Z (0x1A) ends the file;
//   - a line read takes at most 78 characters, up to and including the line
//     feed, so a longer line arrives in pieces;
//   - numbers are read by prefix conversion (integer and real), the point is
//     the only decimal separator, no "nan", "inf" or hexadecimal forms.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "data/bytesource.h"
#include "data/numbers.h"

namespace quorlane {

// Maximum characters of one line read (a read buffer of 79 with its terminator).
constexpr size_t kLineMax = 78;
// Maximum characters of a header token (a buffer of 80 with its terminator).
constexpr size_t kTokenMax = 79;

// A reader over text whose carriage returns are already dropped and which
// ends at the first Ctrl-Z. `p` moves towards `end` as the text is read.
struct TextIn {
    const char* p;
    const char* end;
};

// Applies the text rules to `n` raw bytes in place: cuts them at the first
// Ctrl-Z (setting `ctrlZ`) and drops every carriage return. Returns how many
// bytes of text are left.
size_t CleanText(char* data, size_t n, bool& ctrlZ);

// Where a line read that starts at p (before end) ends: after its line feed
// when that comes within 78 characters, else after 78 characters or at end.
inline const char* LineReadEnd(const char* p, const char* end) {
    const char* const lim = end - p > ptrdiff_t(kLineMax) ? p + kLineMax : end;
    while (p < lim && *p != '\n') ++p;
    return p < lim ? p + 1 : lim;
}

// The value of the line read that starts at p (before end), by real prefix
// conversion, with p moved to the line read's end: RealPrefix(p, e) and p = e
// for e = LineReadEnd(p, end), in one pass over the text. The number cannot
// hold a line feed, so the line read's end is found from where it ends.
inline float ReadLineValue(const char*& p, const char* end) {
    const char* const lim = end - p > ptrdiff_t(kLineMax) ? p + kLineMax : end;
    const char* q = p;
    while (q < lim && *q != '\n' && IsSpace(*q)) ++q;
    const char* after = q;
    const float v = q < lim && *q != '\n' ? SignedRealPrefix(q, lim, after) : 0.0f;
    if (after < lim && *after == '\n') {  // the common line: the number, then its line feed
        p = after + 1;
    } else {
        const void* nl = std::memchr(after, '\n', size_t(lim - after));
        p = nl != nullptr ? static_cast<const char*>(nl) + 1 : lim;
    }
    return v;
}

// One line read. Returns false when the text ends before the line's first
// character; otherwise `line` holds the characters read (the line feed
// included when it was reached within 78 characters).
inline bool ReadLine(TextIn& in, std::string_view& line) {
    if (in.p >= in.end) return false;
    const char* const e = LineReadEnd(in.p, in.end);
    line = std::string_view(in.p, size_t(e - in.p));
    in.p = e;
    return true;
}

// The line reads that take up `n` bytes of text starting where a line read
// starts: a line of L characters, its line feed included, takes ceil(L / 78)
// reads, and so does a last line without a line feed.
size_t CountLineReads(const char* p, size_t n);

// Where `n` bytes of text starting where a line read starts can be cut so
// that a line read also starts at the cut: after the last line feed and any
// whole 78-character pieces after it. 0 when the text holds no such place.
size_t LineReadCut(const char* p, size_t n);

enum class TokenRead { Ok, End, TooLong };

// The text of a byte source under the rules, read in order: carriage returns
// dropped, the end at the first Ctrl-Z (the source is not read past it). A
// read error ends the text; what came before it stays readable, but a read
// that needs what would have followed fails.
class TextSource {
  public:
    explicit TextSource(ByteSource& source) : source_(source) {}
    TextSource(const TextSource&) = delete;
    TextSource& operator=(const TextSource&) = delete;

    // One line read. False when the text ends before the line's first
    // character, or a read error comes before the line is complete. `line`
    // stays valid until the next read.
    bool ReadLine(std::string_view& line);
    // One header token, read like "%s\n": white space skipped, a run of
    // non-white characters taken, then all white space after it skipped.
    // End: the text ended before the token, or a read error came within the
    // token or the white space after it. TooLong: more than 79 characters
    // (`token` then holds its first 80). With `stopWhenTooLong` such a token
    // is read no further than its 80th character and the text after it is
    // left unread: its rest may never end (a device or a pipe that sends no
    // white space).
    TokenRead ReadToken(std::string_view& token, bool stopWhenTooLong = false);
    // Up to n bytes of text into dst: what is buffered, else what one read of
    // the source gives, so fewer than n when a read comes short (a pipe whose
    // writer has sent no more yet). 0 only when the text has ended.
    size_t Read(char* dst, size_t n);
    // True when no text is left to read.
    bool Ended() const { return ended_ && pos_ == len_; }
    // True when the text was ended by a read error.
    bool Failed() const { return failed_; }

  private:
    // Refills the buffer once it is used up. False when the text has ended.
    bool More();

    ByteSource& source_;
    size_t pos_ = 0, len_ = 0;
    bool ended_ = false, failed_ = false;
    char line_[kLineMax];
    char token_[kTokenMax + 1];
    char buf_[4096];
};

}  // namespace quorlane
