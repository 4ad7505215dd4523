#pragma once
// The real prefix conversion and the value line read by their rules alone, on the C library's
// strtof: the rules decide where the number's text lies (white space, an optional sign, digits
// with at most one point, an exponent only when it has a digit), strtof converts exactly that
// text, cut out and ended by a zero so that none of its own forms (hexadecimal, "inf", "nan")
// can come in. The differential test and fuzz_numbers hold the loader's conversions to it.
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "data/numbers.h"
#include "data/textread.h"

namespace quorlane {

struct ReferenceReal {
    float value = 0.0f;
    bool hasNumber = false;
    size_t numberEnd = 0;  // where the number's text ends, when there is one
};

inline ReferenceReal ReferenceRealPrefix(std::string_view s) {
    size_t k = 0;
    while (k < s.size() && IsSpace(s[k])) ++k;
    const size_t begin = k;
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
    const size_t digitsBegin = k;
    while (k < s.size() && IsDigit(s[k])) ++k;
    size_t digits = k - digitsBegin;
    if (k < s.size() && s[k] == '.') {
        const size_t fraction = ++k;
        while (k < s.size() && IsDigit(s[k])) ++k;
        digits += k - fraction;
    }
    ReferenceReal r;
    if (digits == 0) return r;
    if (k < s.size() && (s[k] == 'e' || s[k] == 'E')) {
        size_t e = k + 1;
        if (e < s.size() && (s[e] == '+' || s[e] == '-')) ++e;
        if (e < s.size() && IsDigit(s[e])) {
            while (e < s.size() && IsDigit(s[e])) ++e;
            k = e;
        }
    }
    const std::string number(s.substr(begin, k - begin));
    r.value = std::strtof(number.c_str(), nullptr);
    r.hasNumber = true;
    r.numberEnd = k;
    return r;
}

// The value of the line read at the start of `text`, and its length in characters.
inline float ReferenceLineValue(std::string_view text, size_t& length) {
    length = 0;
    while (length < text.size() && length < kLineMax && (length == 0 || text[length - 1] != '\n'))
        ++length;
    return ReferenceRealPrefix(text.substr(0, length)).value;
}

}  // namespace quorlane
