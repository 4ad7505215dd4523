// The natural order of file names.
#include "common/name_order.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace quorlane {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The end of the digit run that starts at `k`.
size_t DigitRunEnd(const std::string& s, size_t k) {
    while (k < s.size() && IsDigit(s[k])) ++k;
    return k;
}

// The first digit of the run [k, end) that is not a leading zero (`end`
// for a run of zeros alone).
size_t FirstSignificant(const std::string& s, size_t k, size_t end) {
    while (k < end && s[k] == '0') ++k;
    return k;
}

// The end of the fraction (a point and digits) that follows a whole number
// ending at `k`; `k` when none follows.
size_t FractionEnd(const std::string& s, size_t k) {
    return k + 1 < s.size() && s[k] == '.' && IsDigit(s[k + 1]) ? DigitRunEnd(s, k + 1) : k;
}

// Compares the fractions [a, endA) and [b, endB) (their points included, or
// empty) by value: a missing digit is a zero.
int CompareFractions(const std::string& x, size_t a, size_t endA, const std::string& y, size_t b,
                     size_t endB) {
    const size_t lengthA = endA == a ? 0 : endA - a - 1, lengthB = endB == b ? 0 : endB - b - 1;
    for (size_t k = 0; k < lengthA || k < lengthB; ++k) {
        const char da = k < lengthA ? x[a + 1 + k] : '0', db = k < lengthB ? y[b + 1 + k] : '0';
        if (da != db) return da < db ? -1 : 1;
    }
    return 0;
}

}  // namespace

int CompareFoldedNaturally(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // By value: the longer run of significant digits is the larger;
            // runs of one length compare digit by digit.
            const size_t endA = DigitRunEnd(a, i), endB = DigitRunEnd(b, j);
            const size_t sigA = FirstSignificant(a, i, endA), sigB = FirstSignificant(b, j, endB);
            const size_t lengthA = endA - sigA, lengthB = endB - sigB;
            if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
            const int digits = std::memcmp(a.data() + sigA, b.data() + sigB, lengthA);
            if (digits != 0) return digits;
            // A fraction after a whole number counts by its value too, so
            // that "t9.dat" < "t9.25.dat" < "t9.5.dat" < "t10.dat".
            const size_t fractionA = FractionEnd(a, endA), fractionB = FractionEnd(b, endB);
            const int fraction = CompareFractions(a, endA, fractionA, b, endB, fractionB);
            if (fraction != 0) return fraction;
            i = fractionA;
            j = fractionB;
            continue;
        }
        const unsigned char ca = static_cast<unsigned char>(a[i]);
        const unsigned char cb = static_cast<unsigned char>(b[j]);
        if (ca != cb) return ca < cb ? -1 : 1;
        ++i;
        ++j;
    }
    const size_t restA = a.size() - i, restB = b.size() - j;
    return restA == restB ? 0 : (restA < restB ? -1 : 1);
}

bool NaturalLess(const std::string& a, const std::string& b, const CaseFold& fold) {
    const int order = CompareFoldedNaturally(fold(a), fold(b));
    return order != 0 ? order < 0 : a < b;
}

std::vector<size_t> NaturalOrder(const std::vector<std::string>& names, const CaseFold& fold) {
    std::vector<std::string> folded;
    folded.reserve(names.size());
    for (const std::string& name : names) folded.push_back(fold(name));
    std::vector<size_t> order(names.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [&](size_t x, size_t y) {
        const int c = CompareFoldedNaturally(folded[x], folded[y]);
        if (c != 0) return c < 0;
        // Equal folded names of different bytes by their bytes; equal names
        // (one path given twice) keep the order they were given in.
        return names[x] != names[y] ? names[x] < names[y] : x < y;
    });
    return order;
}

}  // namespace quorlane
