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
#include <string_view>
#include <vector>

// Maximum characters of one line read (a read buffer of 79 with its terminator).
constexpr size_t kLineMax = 78;
// Maximum characters of a header token (a buffer of 80 with its terminator).
constexpr size_t kTokenMax = 79;

// A reader over text whose carriage returns are already dropped and which
// ends at the first Ctrl-Z. `p` moves towards `end` as the file is read.
struct TextIn {
    const char* p;
    const char* end;
};

// Reads the whole file into `out`. Returns false when it cannot be opened or read.
bool ReadFileBytes(const char* path, std::vector<char>& out);

// Applies the text rules to `data` in place (drops carriage returns, cuts at
// the first Ctrl-Z) and returns a reader over the result.
TextIn OpenText(char* data, size_t n);

// One line read. Returns false when the file ends before the line's first
// character; otherwise `line` holds the characters read (the line feed
// included when it was reached within 78 characters).
bool ReadLine(TextIn& in, std::string_view& line);

enum class TokenRead { Ok, End, TooLong };
// One header token, read like "%s\n": white space skipped, a run of
// non-white characters taken, then all white space after it skipped.
// End: the file ended before the token. TooLong: more than 79 characters.
TokenRead ReadToken(TextIn& in, std::string_view& token);

// White space as the C locale's isspace: blank, \t, \n, \v, \f, \r.
inline bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Integer prefix conversion: white space, optional sign, decimal digits.
// No digits gives 0; values beyond the 32-bit range saturate.
int32_t IntPrefix(std::string_view s);

// Real prefix conversion: white space, optional sign, digits with an optional
// point, optional exponent. No number gives 0. Correctly rounded to a 32-bit
// float; a value too large gives an infinity of its sign.
float RealPrefix(std::string_view s);

// First word ("%s"): white space skipped, the run of non-white characters.
// Returns false when the text holds no word.
bool FirstWord(std::string_view s, std::string_view& word);
