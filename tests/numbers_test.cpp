// The real prefix conversion held against its rules on the C library's conversion
// (number_reference.h), on random texts of every form, and the value line read against the
// conversion of the line read: 10^6 texts each; QUORLANE_NUMBER_CASES=N runs N.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "number_reference.h"

namespace quorlane {

namespace {

using std::string;
using Rng = std::mt19937_64;

uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

size_t Cases() {
    const char* n = std::getenv("QUORLANE_NUMBER_CASES");
    return n != nullptr ? size_t(std::strtoull(n, nullptr, 10)) : 1000000;
}

size_t Below(Rng& rng, size_t n) {
    return size_t(rng() % n);
}

string Digits(Rng& rng, size_t count) {
    string s;
    for (size_t k = 0; k < count; ++k) s += char('0' + Below(rng, 10));
    return s;
}

// A digit string with a point somewhere in it, at its ends or nowhere.
string WithPoint(Rng& rng, const string& digits) {
    const size_t at = Below(rng, digits.size() + 2);
    return at > digits.size() ? digits : digits.substr(0, at) + "." + digits.substr(at);
}

string Printed(const char* format, int precision, double v) {
    char text[200];
    std::snprintf(text, sizeof text, format, precision, v);
    return text;
}

// A float of any finite positive value, subnormals included, uniform in its bits.
float AnyFloat(Rng& rng) {
    const uint32_t b = 1 + uint32_t(Below(rng, 0x7F7FFFFFu));
    float f;
    std::memcpy(&f, &b, 4);
    return f;
}

// The last digit of the mantissa of a printed number moved up or down by one.
string Nudged(Rng& rng, string s) {
    size_t e = s.find_first_of("eE");
    if (e == string::npos) e = s.size();
    size_t d = e;
    while (d > 0 && !IsDigit(s[d - 1])) --d;
    if (d == 0) return s;
    char& c = s[d - 1];
    c = rng() % 2 ? (c == '9' ? '8' : char(c + 1)) : (c == '0' ? '1' : char(c - 1));
    return s;
}

// The forms of number a text may hold, each a generator of its own.
const struct Form {
    const char* name;
    std::function<string(Rng&)> make;
} kForms[] = {
    {"short, as grid files hold them",
     [](Rng& rng) { return WithPoint(rng, Digits(rng, 1 + Below(rng, 9))); }},
    {"printf %.Nf",
     [](Rng& rng) {
         return Printed("%.*f", int(Below(rng, 12)),
                        std::ldexp(double(rng() >> 11) * 0x1p-53, int(Below(rng, 60)) - 20));
     }},
    {"printf %.Ne, every magnitude",
     [](Rng& rng) {
         const double v = double(rng() >> 11) * 0x1p-53 * std::pow(10.0, int(Below(rng, 95)) - 55);
         return Printed(Below(rng, 2) ? "%.*e" : "%.*E", int(Below(rng, 26)), v);
     }},
    {"printf %.Ng of a float",
     [](Rng& rng) { return Printed("%.*g", int(1 + Below(rng, 12)), double(AnyFloat(rng))); }},
    {"19 and more digits",
     [](Rng& rng) {
         string s = WithPoint(rng, Digits(rng, 19 + Below(rng, 30)));
         if (rng() % 2) s += "e" + std::to_string(int(Below(rng, 110)) - 70);
         return s;
     }},
    {"half-way between two floats, exact, nudged or cut",
     [](Rng& rng) {
         const float f = AnyFloat(rng);
         const double half = (double(f) + double(std::nextafter(f, INFINITY))) / 2;
         switch (Below(rng, 3)) {
         case 0:
             return Printed("%.*g", 120, half);  // every digit of it
         case 1:
             return Nudged(rng, Printed("%.*e", int(8 + Below(rng, 20)), half));
         default:
             return Printed("%.*e", int(8 + Below(rng, 20)), half);
         }
     }},
    {"near the float limits",
     [](Rng& rng) {
         const double limits[] = {
             FLT_MAX, double(FLT_MAX) + 0x1p103, FLT_MIN, 0x1p-149, 0x1p-150, 0x1.8p-149, 1e-38,
             1e38};
         const double v = limits[Below(rng, 8)] * (1 + (double(Below(rng, 2001)) - 1000) * 1e-9);
         return Nudged(rng, Printed("%.*e", int(Below(rng, 30)), v));
     }},
    {"leading zeros",
     [](Rng& rng) {
         const string zeros(1 + Below(rng, 30), '0');
         return rng() % 2 ? zeros + WithPoint(rng, Digits(rng, 1 + Below(rng, 12)))
                          : "0." + zeros + Digits(rng, 1 + Below(rng, 20));
     }},
    {"huge and missing exponents",
     [](Rng& rng) {
         const char* exponents[] = {"e",   "E+",   "e-",         "e-x",         "e+.5",
                                    "e99", "e-99", "e999999999", "e-999999999", "e0000000000038"};
         return WithPoint(rng, Digits(rng, 1 + Below(rng, 8))) + exponents[Below(rng, 10)];
     }},
    {"no number, or not only one",
     [](Rng& rng) {
         const char* texts[] = {"",    ".",     ".e5",  "e5",  "+",     "-.",  "+-1",
                                "- 1", "0x1p3", "inf",  "NaN", "1.2.3", "5.",  ".5",
                                "1,5", "..5",   "\x80", "7 8", "--2",   "0.e", "00.00e-0"};
         return string(texts[Below(rng, 21)]);
     }},
};

// A text of the given form, with white space and a sign before it and text after it.
string Decorated(Rng& rng, const Form& form) {
    static const char kSpace[] = " \t\v\f\r\n";
    string s;
    for (size_t k = Below(rng, 4) == 0 ? Below(rng, 4) : 0; k > 0; --k) s += kSpace[Below(rng, 6)];
    const size_t sign = Below(rng, 4);
    s += sign == 0 ? "-" : sign == 1 ? "+" : "";
    s += form.make(rng);
    const char* after[] = {"", "", "\n", " 5", "x", ".5", "e7", "-3", "\t#note"};
    return s + after[Below(rng, 9)];
}

// Every form, converted alike by both: the same bits (the sign of a zero included), and the
// number's text ending at the same place.
TEST(Numbers, RealPrefixAgreesWithTheRulesOnEveryForm) {
    Rng rng(20250101);
    const size_t cases = Cases();
    for (const Form& form : kForms) {
        size_t wrong = 0;
        for (size_t k = 0; k < cases / std::size(kForms); ++k) {
            const string s = Decorated(rng, form);
            const ReferenceReal want = ReferenceRealPrefix(s);
            const float got = RealPrefix(s);
            size_t p = 0;
            while (p < s.size() && IsSpace(s[p])) ++p;
            const char* numberEnd = nullptr;
            SignedRealPrefix(s.data() + p, s.data() + s.size(), numberEnd);
            const bool endOk = !want.hasNumber || size_t(numberEnd - s.data()) == want.numberEnd;
            if (Bits(got) != Bits(want.value) || !endOk) {
                if (++wrong <= 5)
                    ADD_FAILURE() << form.name << ": " << testing::PrintToString(s) << " gives "
                                  << got << " (number to " << numberEnd - s.data()
                                  << "), the rules " << want.value << " (to " << want.numberEnd
                                  << ")";
            }
        }
        EXPECT_EQ(wrong, 0u) << form.name;
    }
}

// Texts of many lines (empty, blank, long, the last without a line feed) read line after line
// as the loader reads them, against the conversion of each line read cut out.
TEST(Numbers, LineValuesAgreeWithTheirLineReads) {
    Rng rng(7);
    const size_t texts = Cases() / 20;
    size_t wrong = 0;
    for (size_t t = 0; t < texts; ++t) {
        string text;
        for (size_t line = 1 + Below(rng, 20); line > 0; --line) {
            const size_t kind = Below(rng, 10);
            if (kind == 0) {
                text += string(Below(rng, 3), ' ');  // blank
            } else if (kind == 1) {
                text += string(60 + Below(rng, 40), ' ') + "12.5";  // past one line read
            } else {
                text += Decorated(rng, kForms[Below(rng, std::size(kForms))]);
            }
            if (line > 1 || rng() % 2) text += '\n';
        }
        const char* p = text.data();
        const char* const end = p + text.size();
        for (size_t at = 0; at < text.size();) {
            size_t length;
            const float want = ReferenceLineValue(std::string_view(text).substr(at), length);
            const float got = ReadLineValue(p, end);
            at += length;
            if (Bits(got) != Bits(want) || p != text.data() + at) {
                if (++wrong <= 5)
                    ADD_FAILURE() << testing::PrintToString(text) << " at " << at << ": " << got
                                  << ", the rules " << want;
                break;
            }
        }
    }
    EXPECT_EQ(wrong, 0u);
}

}  // namespace

}  // namespace quorlane
