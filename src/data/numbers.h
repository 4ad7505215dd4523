#pragma once
// The number conversions of the text rules: prefix conversion of integers and
// reals (the point is the only decimal separator; no "nan", "inf" or
// hexadecimal forms) and the first word of a line.
#include <cstdint>
#include <string_view>

namespace quorlane {

// White space as the C locale's isspace: blank, \t, \n, \v, \f, \r.
inline bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Integer prefix conversion: white space, optional sign, decimal digits.
// No digits gives 0; values beyond the 32-bit range saturate.
int32_t IntPrefix(std::string_view s);

// Real prefix conversion: white space, optional sign, digits with an optional
// point, optional exponent (taken only when it has a digit), the text after
// the number ignored. No number gives 0. Correctly rounded to a 32-bit float;
// a value too large for a float gives an infinity of its sign, one too small
// for its smallest subnormal a zero of its sign.
float RealPrefix(const char* p, const char* end);
inline float RealPrefix(std::string_view s) {
    return RealPrefix(s.data(), s.data() + s.size());
}
// The same conversion of a text that starts where the white space ends, at
// the sign or the first digit. `numberEnd` is set to where the number's text
// ends, or to p when the text holds no number.
float SignedRealPrefix(const char* p, const char* end, const char*& numberEnd);

// First word ("%s"): white space skipped, the run of non-white characters.
// Returns false when the text holds no word.
bool FirstWord(std::string_view s, std::string_view& word);

}  // namespace quorlane
