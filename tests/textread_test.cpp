// The text-reading rules: text preparation, line reads, header tokens and
// the prefix conversions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "data/textread.h"

namespace {

using std::string;

uint32_t Bits(float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    return b;
}

TEST(TextRead, TextAndLineReads) {
    const string x77(77, 'x'), x78(78, 'x');
    const struct { string in; std::vector<string> lines; } cases[] = {
        {"", {}}, {"\r\r\r", {}}, {"\x1a\n5\n", {}},
        {"1\n\n2", {"1\n", "\n", "2"}},
        {"a\r\nb\rc\r\n", {"a\n", "bc\n"}},
        {"12\x1a" "34\n", {"12"}},
        {"1\r\n2\r\x1a\r\n3", {"1\n", "2"}},
        {string("a\0b\r\n", 5), {string("a\0b\n", 4)}},
        {x77 + "\n", {x77 + "\n"}},
        {x78 + "\n", {x78, "\n"}},
        {x78 + "xy\n5\n", {x78, "xy\n", "5\n"}},
        {string(200, 'y'), {string(78, 'y'), string(78, 'y'), string(44, 'y')}},
    };
    for (auto c : cases) {
        TextIn in = OpenText(c.in.data(), c.in.size());
        std::vector<string> got;
        std::string_view line;
        while (ReadLine(in, line)) got.emplace_back(line);
        EXPECT_EQ(got, c.lines) << testing::PrintToString(c.in);
    }
}

TEST(TextRead, IntegerPrefix) {
    const int32_t kMax = std::numeric_limits<int32_t>::max(), kMin = std::numeric_limits<int32_t>::min();
    const struct { const char* in; int32_t out; } cases[] = {
        {"", 0}, {"abc", 0}, {"42", 42}, {"  12xyz", 12}, {"+7", 7}, {"-7", -7}, {"3.9", 3}, {"-3.9", -3},
        {" \t\v\f\r\n 5", 5}, {"- 5", 0}, {"+-5", 0}, {"1e3", 1}, {"0x10", 0}, {"000000000000000000012", 12},
        {"2147483647", kMax}, {"2147483648", kMax}, {"99999999999999999999999", kMax},
        {"-2147483648", kMin}, {"-2147483649", kMin}, {"-99999999999999999999999", kMin},
        {"18446744073709551617", kMax}, {"-18446744073709551617", kMin},
    };
    for (const auto& c : cases) EXPECT_EQ(IntPrefix(c.in), c.out) << c.in;
    EXPECT_EQ(IntPrefix(std::string_view("1\0" "2", 3)), 1);
}

TEST(TextRead, RealPrefix) {
    const float inf = std::numeric_limits<float>::infinity(), fmax = std::numeric_limits<float>::max();
    const float tiny = std::numeric_limits<float>::denorm_min();
    const struct { const char* in; float out; } cases[] = {
        // no number: also no "nan", "inf" or hexadecimal forms
        {"", 0}, {"abc", 0}, {".", 0}, {"-", 0}, {"+.e5", 0}, {"e5", 0}, {"nan", 0}, {"-infinity", 0}, {"INF", 0},
        // prefixes and exponents
        {"12.5 abc", 12.5f}, {"7,5", 7}, {"1,5e3", 1}, {"  -2.5\n", -2.5f}, {"+.5", 0.5f}, {"5.", 5}, {".5e1", 5},
        {"0x1p3", 0}, {"1.5.5", 1.5f}, {"1e", 1}, {"1e+", 1}, {"1e-x", 1}, {"2E2", 200}, {"1.5e+3", 1500},
        {"25e-1", 2.5f}, {"-0", -0.0f},
        // nearest float, ties to even
        {"0.1", 0.1f}, {"16777217", 16777216.0f}, {"16777219", 16777220.0f}, {"1.000000059604644775390625", 1.0f},
        {"1.00000005960464477539062500001", std::nextafter(1.0f, 2.0f)}, {"3.4028235e38", fmax},
        {"1e-45", tiny}, {"00000000000000000001e-45", tiny}, {"7.0064923216240853546186479164495806564014e-46", tiny},
        // beyond the float range: an infinity of its sign, or zero
        {"3.4028236e38", inf}, {"1e39", inf}, {"-1e39", -inf}, {"1234567890123456789012345678901234567890", inf},
        {"1e999999999999", inf}, {"-0.00001e999999999999999999", -inf}, {"1e-50", 0}, {"-1e-50", -0.0f},
        {"7.006492321624085354618647916449580656401e-46", 0}, {"100000e-999999999999", 0}, {"0e999999999999", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(Bits(RealPrefix(c.in)), Bits(c.out)) << c.in << " gave " << RealPrefix(c.in);
    EXPECT_EQ(RealPrefix(std::string_view("3\0" "7", 3)), 3.0f);

    // Decimal texts of every magnitude round as the C library's correctly
    // rounded conversion does.
    std::mt19937 rng(20240611);
    char buf[64];
    for (int k = 0; k < 20000; ++k) {
        int digits = 1 + int(rng() % 20), point = int(rng() % (digits + 1));
        char* w = buf;
        if (rng() & 1) *w++ = '-';
        for (int d = 0; d < digits; ++d) {
            if (d == point) *w++ = '.';
            *w++ = char('0' + rng() % 10);
        }
        std::snprintf(w, 16, "e%d", int(rng() % 100) - 60);
        EXPECT_EQ(Bits(RealPrefix(buf)), Bits(std::strtof(buf, nullptr))) << buf;
    }
}

}  // namespace
