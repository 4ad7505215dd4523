// Colour scales: byte conversion, ramps, field and band colour rules, FieldRow.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "data/settings.h"
#include "render/colour.h"

namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::nanf("");
constexpr Colour kRed = 0x0000FF, kDarkBlue = 0x800000, kBlue = 0xFF0000;

struct Scale {
    float fmin, fmax;
    int32_t minR, maxR, minG, maxG, minB, maxB;
    uint8_t clip, rainbow;
};
void Apply(const Scale& s) {
    Fmin = s.fmin, Fmax = s.fmax, dFF = Fmax - Fmin, clipping = s.clip, color = s.rainbow;
    minRed = s.minR, maxRed = s.maxR, minGreen = s.minG, maxGreen = s.maxG, minBlue = s.minB, maxBlue = s.maxB;
    auto sub = [](int32_t a, int32_t b) { return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b)); };
    dRed = sub(maxRed, minRed), dGreen = sub(maxGreen, minGreen), dBlue = sub(maxBlue, minBlue);
}
// Over 0..10; two-colour from (0,0,255) to (255,0,0). clipping/color 2 mean off.
constexpr Scale kRainbowClip{0, 10, 0, 255, 0, 0, 255, 0, 1, 1}, kRainbow{0, 10, 0, 255, 0, 0, 255, 0, 0, 1},
    kTwoClip{0, 10, 0, 255, 0, 0, 255, 0, 1, 0}, kTwo{0, 10, 0, 255, 0, 0, 255, 0, 2, 2},
    kWide{0, 1, 0, 1000000000, 0, 0, 0, 0, 0, 0}, kUnit{0, 1, 0, 0, 0, 0, 0, 0, 0, 1},
    kRevClip{10, 0, 1, 2, 3, 4, 5, 6, 1, 0}, kRev{10, 0, 0, 100, 0, 0, 0, 0, 0, 0}, kRevRainbow{10, 0, 0, 0, 0, 0, 0, 0, 0, 1},
    kTiny{0, 1e-30f, 0, 255, 0, 0, 255, 0, 0, 1};

TEST(ColourTest, ByteConversionTruncatesAndWraps) {
    const struct { double v; int byte; } cases[] = {
        {255.9, 255}, {0.7, 0}, {-0.5, 0}, {256.5, 0}, {-1.5, 255}, {-127.5, 129}, {4294967552.9, 0},
        {-4294967041.0, 255}, {0x1p50 + 77.25, 77}, {-0x1p50 - 77.25, 179}, {0x1p63, 0}, {-kInf, 0}, {std::nan(""), 0}};
    for (const auto& c : cases) EXPECT_EQ(ByteOf(c.v), c.byte) << c.v;
}

TEST(ColourTest, RampsByteForByte) {
    const struct { float q; int r, g, b; } cases[] = {
        {0.0f, 255, 0, 0}, {0.1f, 255, 127, 0}, {0.2f, 254, 255, 0}, {0.3f, 191, 255, 0}, {0.4f, 127, 255, 0},
        {0.5f, 63, 255, 127}, {0.6f, 0, 254, 255}, {0.7f, 0, 191, 255}, {0.8f, 0, 127, 254}, {0.9f, 0, 63, 191},
        {1.0f, 0, 0, 128}, {-0.1f, 255, 129, 0}, {-0.5f, 255, 131, 0}, {1.2f, 0, 129, 0}, {1.3f, 0, 65, 194},
        {1.5f, 0, 194, 67}, {std::nextafter(0.2f, 0.0f), 255, 254, 0}, {std::nextafter(0.4f, 0.0f), 127, 255, 0},
        {std::nextafter(0.6f, 0.0f), 0, 255, 254}, {std::nextafter(0.8f, 0.0f), 0, 127, 255}, {-1e30f, 255, 0, 0},
        {1234567.75f, 0, 113, 66}};
    for (const auto& c : cases) {
        EXPECT_EQ(fRed(c.q), c.r) << c.q;
        EXPECT_EQ(fGreen(c.q), c.g) << c.q;
        EXPECT_EQ(fBlue(c.q), c.b) << c.q;
    }
}

TEST(ColourTest, FieldAndBandColourRules) {
    const struct { Scale s; float FF; Colour want; } cases[] = {
        {kRainbowClip, std::nextafter(0.0f, -1.0f), kDarkBlue}, {kRainbowClip, 10.5f, kRed}, {kRainbowClip, 10.0f, kRed},
        {kRainbowClip, 0.0f, kDarkBlue}, {kRainbowClip, 5.0f, MakeColour(63, 255, 127)},
        {kRainbow, -2.0f, MakeColour(0, 129, 0)}, {kRainbow, 12.0f, MakeColour(255, 1, 0)},
        {kTwo, -5.0f, MakeColour(129, 0, 126)}, {kTwo, 5.0f, MakeColour(127, 0, 127)}, {kTwoClip, -5.0f, kBlue},
        {kTwoClip, 15.0f, kRed}, {{0, 10, 300, 0, 0, 0, 0, 0, 1, 0}, -1.0f, MakeColour(44, 0, 0)},
        // Fmax below Fmin: with clipping, below Fmin is the low end, the rest the high end.
        {kRevClip, 5.0f, MakeColour(1, 3, 5)}, {kRevClip, 10.0f, MakeColour(2, 4, 6)},
        {kRevClip, 20.0f, MakeColour(2, 4, 6)}, {kRev, 5.0f, MakeColour(50, 0, 0)},
        // Components beyond 32 bits wrap exactly; beyond 64 bits the nearer end (F10).
        {kWide, 37.3f, MakeColour(5, 0, 0)}, {kWide, -37.3f, MakeColour(251, 0, 0)},
        {kUnit, -1234566.75f, MakeColour(0, 113, 66)}, {kUnit, -2e16f, kDarkBlue}, {kUnit, 2e16f, kRed},
        {kTiny, 1e30f, kRed}, {kTiny, -1e30f, kDarkBlue},
        // F10: NaN is light grey, infinities take the nearer end.
        {kRainbowClip, kNaN, kLightGrey}, {kRainbow, kNaN, kLightGrey}, {kTwoClip, kNaN, kLightGrey}, {kTwo, kNaN, kLightGrey},
        {kRainbow, kInf, kRed}, {kRainbow, -kInf, kDarkBlue}, {kTwo, kInf, kRed}, {kTwo, -kInf, kBlue},
        {kTwoClip, -kInf, kBlue}, {kRevRainbow, kInf, kDarkBlue}, {kRevRainbow, -kInf, kRed}, {kRev, -kInf, MakeColour(100, 0, 0)},
    };
    for (const auto& c : cases) {
        Apply(c.s);
        EXPECT_EQ(FieldColour(c.FF), c.want) << c.FF << " over " << Fmin << ".." << Fmax << " clip " << int(clipping);
    }
    // F9: Fmax == Fmin, any mode: below Fmin the low end, all else the high end.
    for (const Scale& s : {Scale{3, 3, 10, 20, 30, 40, 50, 60, 0, 0}, Scale{3, 3, 10, 20, 30, 40, 50, 60, 1, 0},
                           Scale{3, 3, 0, 0, 0, 0, 0, 0, 0, 1}, Scale{3, 3, 0, 0, 0, 0, 0, 0, 1, 1}}) {
        Apply(s);
        const Colour low = color == 1 ? kDarkBlue : MakeColour(10, 30, 50), high = color == 1 ? kRed : MakeColour(20, 40, 60);
        for (float FF : {2.0f, std::nextafter(3.0f, 0.0f), -kInf}) EXPECT_EQ(FieldColour(FF), low) << FF;
        for (float FF : {3.0f, 4.0f, kInf}) EXPECT_EQ(FieldColour(FF), high) << FF;
        EXPECT_EQ(FieldColour(kNaN), kLightGrey);
    }
    // The band from 10 to 110: first, last and middle columns.
    Apply(kRainbowClip);
    EXPECT_EQ(BandColour(11, 10, 110, 100), MakeColour(0, 6, 134));
    EXPECT_EQ(BandColour(109, 10, 110, 100), MakeColour(255, 12, 0));
    Apply({5, 5, 0, 255, 0, 100, 0, 200, 1, 0});
    EXPECT_EQ(BandColour(11, 10, 110, 100), MakeColour(2, 0, 1));  // q = 0.01f, just below 0.01
    EXPECT_EQ(BandColour(109, 10, 110, 100), MakeColour(252, 99, 198));
}

// FieldRow equals FieldColour bit for bit for every settings shape and kind
// of value, at every alignment.
TEST(ColourTest, FieldRowMatchesFieldColour) {
    const Scale scales[] = {kRainbowClip, kRainbow, kTwoClip, kTwo, kWide, kRevClip, kRev, kRevRainbow, kTiny,
                            {5, 5, 1, 2, 3, 4, 5, 6, 0, 1}, {-3.5f, 7.25f, -20, 300, 511, -4, 17, 17, 1, 0},
                            {0, 1, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, 0, 1000000000, 0, 0},
                            {-1e38f, 3e38f, 0, 255, 0, 0, 255, 0, 0, 1}, {-1, 0, 0, 0, 0, 0, 0, 0, 0, 1}};
    const float specials[] = {kNaN, kInf, -kInf, 0.0f, -0.0f, 10.0f, 1e30f, -1e30f, 3e6f, -3e6f, 3e38f,
                              -0.2f, -0.4f, -0.6f, -0.8f, -1.0f, std::nextafter(-0.2f, 0.0f), std::nextafter(-0.4f, 0.0f),
                              std::nextafter(-0.6f, 0.0f), std::nextafter(-0.8f, 0.0f), -999999.94f, -1e6f};  // q = -FF over -1..0
    std::mt19937 rng(12345);
    std::uniform_real_distribution<float> near(-15.0f, 20.0f);
    std::vector<float> ff(4099);
    std::vector<uint32_t> px(ff.size() + 1);
    for (const Scale& s : scales) {
        Apply(s);
        for (float& v : ff) {
            const uint32_t r = rng();
            if (r % 4 != 0) v = near(rng);
            else if (r % 8 == 0) v = specials[(r >> 8) % (sizeof specials / sizeof *specials)];
            else std::memcpy(&v, &r, sizeof v);
        }
        for (int start : {0, 1, 3}) {
            const int n = static_cast<int>(ff.size()) - start;
            px[n] = 0xDEADBEEF;
            FieldRow(ff.data() + start, px.data(), n);
            for (int k = 0; k < n; ++k)
                ASSERT_EQ(px[k], PixelOf(FieldColour(ff[start + k]))) << ff[start + k] << " over " << Fmin << ".." << Fmax;
            EXPECT_EQ(px[n], 0xDEADBEEFu);
        }
    }
}

}  // namespace

// The row pass forms q by reciprocal; where that rounds to another float
// than the division (ties: the exact quotient half-way between two floats),
// it must still give the division's colour. A two-colour scale 2^30 wide
// turns one float step of q into a change of red.
TEST(ColourTest, FieldRowRoundsQuotientTiesLikeTheDivision) {
    const struct { float fmin, ff, dff; } ties[] = {{-0x1.24924ap-3f, 0x1.1a232p+5f, 0x1.34p+6f},
                                                    {-0x1.b6db6ep-2f, 0x1.16668p+5f, 0x1.88p+5f},
                                                    {-0x1.24924ap-3f, 0x1.17f562p+5f, 0x1.74p+6f},
                                                    {-0x1.24924ap-3f, 0x1.0fc41ap+5f, 0x1.a4p+7f}};
    for (const auto& t : ties) {
        Apply({t.fmin, t.fmin + t.dff, 0, 1 << 30, 0, 0, 0, 0, 0, 0});
        dFF = t.dff;
        const double num = static_cast<double>(t.ff) - t.fmin;
        ASSERT_NE(static_cast<float>(num * (1.0 / t.dff)), static_cast<float>(num / t.dff));  // a real tie-breaker
        const float row[4] = {t.ff, t.ff, t.ff, t.ff};
        uint32_t px[4];
        FieldRow(row, px, 4);
        EXPECT_EQ(px[2], PixelOf(FieldColour(t.ff))) << t.ff;
    }
}
