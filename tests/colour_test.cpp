// The colour rules, and the field row painter, which must give the rule's pixel for every value.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "render/colour.h"
#include "render/field_row.h"
#include "test_support.h"

namespace quorlane {

namespace {

const float kInf = INFINITY, kNaN = NAN;

const DisplaySettings kRainbow = RainbowScale(0, 10);
const DisplaySettings kRainbowClipped = Clipped(kRainbow);
const DisplaySettings kBlueToRed = TwoColourScale(0, 10, kBlue, kRed);
const DisplaySettings kBlueToRedClipped = Clipped(kBlueToRed);
// Clipping 2 and palette 2, as a settings file may give them, both mean off.
const DisplaySettings kBlueToRedSwitchesAt2 = WithSwitches(kBlueToRed, 2, 2);
const DisplaySettings kRainbowDownward = RainbowScale(10, 0);
const DisplaySettings kBlackToRedDownward = TwoColourScale(10, 0, kBlack, {100, 0, 0});
const DisplaySettings kUnitRainbow = RainbowScale(0, 1);
// Red from 0 to 10^9 over 0..1: one float step of the value moves red by many units.
const DisplaySettings kHugeRed = TwoColourScale(0, 1, kBlack, {1000000000, 0, 0});

struct FieldCase {
    DisplaySettings scale;
    float value;
    Rgb colour;
};

// The field colour rule in both palettes, clipped or not, on downward scales, with components
// wrapping beyond 32 bits, and for NaN, infinite and far-out values (q beyond the float range).
const FieldCase kFieldCases[] = {
    {kRainbowClipped, -1e-45f, {0, 0, 128}},
    {kRainbowClipped, 10.5f, {255, 0, 0}},
    {kRainbowClipped, 5, {63, 255, 127}},
    {kRainbow, -2, {0, 129, 0}},
    {kRainbow, 12, {255, 1, 0}},
    {kBlueToRedSwitchesAt2, -5, {129, 0, 126}},
    {kBlueToRedSwitchesAt2, 5, {127, 0, 127}},
    {kBlueToRedClipped, -5, {0, 0, 255}},
    {kBlueToRedClipped, 15, {255, 0, 0}},
    {Clipped(TwoColourScale(10, 0, {1, 3, 5}, {2, 4, 6})), 5, {1, 3, 5}},
    {Clipped(TwoColourScale(10, 0, {1, 3, 5}, {2, 4, 6})), 10, {2, 4, 6}},
    {Clipped(TwoColourScale(10, 0, {1, 3, 5}, {2, 4, 6})), 20, {2, 4, 6}},
    {Clipped(TwoColourScale(0, 10, {300, 0, 0}, kBlack)), -1, {44, 0, 0}},
    {kBlackToRedDownward, 5, {50, 0, 0}},
    {kHugeRed, 37.3f, {5, 0, 0}},
    {kHugeRed, -37.3f, {251, 0, 0}},
    {kUnitRainbow, -1234566.75f, {0, 113, 66}},
    {kUnitRainbow, -2e16f, {0, 0, 128}},
    {kUnitRainbow, 2e16f, {255, 0, 0}},
    {RainbowScale(0, 1e-30f), 1e30f, {255, 0, 0}},
    {RainbowScale(0, 1e-30f), -1e30f, {0, 0, 128}},
    {TwoColourScale(0, 1, kBlack, {255, 0, 0}), 1e30f, {255, 0, 0}},  // red alone beyond 64 bits
    {TwoColourScale(0, 1, kBlack, {0, 255, 0}), 1e30f, {0, 255, 0}},  // green alone
    {kRainbow, kNaN, {192, 192, 192}},
    {kRainbow, kInf, {255, 0, 0}},
    {kRainbow, -kInf, {0, 0, 128}},
    {kRainbowDownward, kInf, {0, 0, 128}},
    {kRainbowDownward, -kInf, {255, 0, 0}},
    {RainbowScale(-1, 0), -0.2f, {254, 255, 0}},
    {RainbowScale(-1, 0), -0.19999999f, {255, 254, 0}},
    {RainbowScale(-1, 0), -0.59999996f, {0, 255, 254}},
    {RainbowScale(-1, 0), -0.8f, {0, 127, 254}},
    {RainbowScale(5, 5), 4.9f, {0, 0, 128}},
    {Clipped(TwoColourScale(-3.5f, 7.25f, {-20, 511, 17}, {300, -4, 17})), 1, {113, 39, 17}},
    {RainbowScale(-1e38f, 3e38f), 0, {255, 0, 0}},
    {TwoColourScale(0, 1, {INT32_MIN, INT32_MAX, 0}, {INT32_MAX, INT32_MIN, 1000000000}),
     0.5f,
     {0, 255, 0}},
};

Colour ColourOf(Rgb c) {
    return MakeColour(uint8_t(c.red), uint8_t(c.green), uint8_t(c.blue));
}

// The byte conversion, and the palette byte for byte: below the thresholds, wrapped beyond [0, 1].
TEST(ColourTest, BytesAndRamps) {
    const struct {
        double value;
        int byte;
    } bytes[] = {
        {255.9, 255},           {-0.5, 0},   {-1.5, 255}, {4294967552.9, 0},
        {-0x1p50 - 77.25, 179}, {0x1p63, 0},
    };
    for (const auto& c : bytes) EXPECT_EQ(ByteOf(c.value), c.byte) << c.value;
    const struct {
        float q;
        Rgb colour;
    } ramps[] = {
        {0.0f, {255, 0, 0}},          {0.1f, {255, 127, 0}},        {0.2f, {254, 255, 0}},
        {0.3f, {191, 255, 0}},        {0.4f, {127, 255, 0}},        {0.5f, {63, 255, 127}},
        {0.6f, {0, 254, 255}},        {0.7f, {0, 191, 255}},        {0.8f, {0, 127, 254}},
        {0.9f, {0, 63, 191}},         {1.0f, {0, 0, 128}},          {-0.1f, {255, 129, 0}},
        {-0.5f, {255, 131, 0}},       {1.2f, {0, 129, 0}},          {1.3f, {0, 65, 194}},
        {1.5f, {0, 194, 67}},         {0.19999999f, {255, 254, 0}}, {0.39999998f, {127, 255, 0}},
        {0.59999996f, {0, 255, 254}}, {0.79999995f, {0, 127, 255}}, {-1e30f, {255, 0, 0}},
        {1234567.75f, {0, 113, 66}},
    };
    for (const auto& c : ramps)
        EXPECT_EQ(MakeColour(RainbowRed(c.q), RainbowGreen(c.q), RainbowBlue(c.q)),
                  ColourOf(c.colour))
            << c.q;
}

// Every branch of the field colour rule (zero span: below scaleMin low, else high) and the band's.
TEST(ColourTest, FieldAndBandColourRules) {
    for (const FieldCase& c : kFieldCases)
        EXPECT_EQ(FieldColour(c.scale, c.value), ColourOf(c.colour))
            << c.value << " over " << c.scale.scaleMin << ".." << c.scale.scaleMax;
    for (uint8_t clipping : {0, 1})
        for (uint8_t palette : {0, 1}) {
            const DisplaySettings flat =
                WithSwitches(TwoColourScale(3, 3, {10, 30, 50}, {20, 40, 60}), clipping, palette);
            const Colour low = palette ? 0x800000 : MakeColour(10, 30, 50);
            const Colour high = palette ? 0xFF : MakeColour(20, 40, 60);
            for (float v : {2.0f, std::nextafter(3.0f, 0.0f), -kInf})
                EXPECT_EQ(FieldColour(flat, v), low) << v;
            for (float v : {3.0f, 4.0f, kInf}) EXPECT_EQ(FieldColour(flat, v), high) << v;
            EXPECT_EQ(FieldColour(flat, kNaN), kLightGrey);
        }
    EXPECT_EQ(BandColour(kRainbowClipped, 11, 10, 110, 100), MakeColour(0, 6, 134));
    EXPECT_EQ(BandColour(kRainbowClipped, 109, 10, 110, 100), MakeColour(255, 12, 0));
    // The first q is 0.01f, just below 0.01.
    const DisplaySettings bandScale = Clipped(TwoColourScale(5, 5, kBlack, {255, 100, 200}));
    EXPECT_EQ(BandColour(bandScale, 11, 10, 110, 100), MakeColour(2, 0, 1));
    EXPECT_EQ(BandColour(bandScale, 109, 10, 110, 100), MakeColour(252, 99, 198));
}

// A painter of `scale` gives the rule's pixel for `values` from every alignment, and no more.
void ExpectRuleAtEveryValue(const DisplaySettings& scale, const std::vector<float>& values) {
    const FieldRowPainter painter(scale);
    std::vector<uint32_t> pixels(values.size() + 1);
    for (size_t start : {0, 1, 3}) {
        const size_t n = values.size() - std::min(start, values.size());
        pixels[n] = 0xDEADBEEF;
        painter.Paint(values.data() + start, pixels.data(), int(n));
        for (size_t k = 0; k < n; ++k)
            ASSERT_EQ(pixels[k], PixelOf(FieldColour(scale, values[start + k])))
                << values[start + k] << " over " << scale.scaleMin << ".." << scale.scaleMax;
        ASSERT_EQ(pixels[n], 0xDEADBEEFu);
    }
}

// The step table and kernels over every scale above: values near it, the cases', random bits.
TEST(ColourTest, RowPainterMatchesTheRule) {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<float> near(-15.0f, 20.0f);
    std::vector<float> values(4099);
    for (const FieldCase& c : kFieldCases) {
        for (float& v : values) {
            const uint32_t r = rng();
            if (r % 4 != 0)
                v = near(rng);
            else if (r % 8 == 0)
                v = kFieldCases[(r >> 8) % std::size(kFieldCases)].value;
            else
                std::memcpy(&v, &r, sizeof v);
        }
        ExpectRuleAtEveryValue(c.scale, values);
    }
}

// A table step one float off: 64 floats either side of every colour step of several scales.
TEST(ColourTest, RowPainterMatchesTheRuleAroundEveryStep) {
    const struct {
        DisplaySettings scale;
        bool servedByTable;  // false: too many steps per bucket, the kernels' arithmetic serves
    } cases[] = {
        {kRainbowClipped, true},
        {kRainbowDownward, true},
        {RainbowScale(-10, 10), true},
        {kBlueToRedClipped, true},
        {kBlackToRedDownward, true},
        {kHugeRed, false},
        {TwoColourScale(-3.5f, 7.25f, {-20, 511, 17}, {300, -4, 17}), true},
        {Clipped(TwoColourScale(0, 1, kBlack, {2100, 1000, 1001})), true},
        // Three steps in every bucket, the next bucket starting on a step: still the table.
        {TwoColourScale(0, 1, kBlack, {8192, 0, 0}), true},
    };
    for (const auto& c : cases) {
        const DisplaySettings& s = c.scale;
        EXPECT_EQ(FieldRowPainter(s).HasStepTable(), c.servedByTable)
            << s.scaleMin << ".." << s.scaleMax;
        auto colour = [&](float v) { return FieldColour(s, v); };
        const float lo = std::fmin(s.scaleMin, s.scaleMax), span = std::fabs(s.ScaleSpan());
        std::vector<float> values;
        for (float a = lo - span / 8, step = span / 40000; a < lo + span * 1.125f; a += step) {
            values.push_back(a);
            // The colour changes between l and h: bisect to the step's first float h.
            float l = a, h = a + step;
            if (colour(l) == colour(h)) continue;
            for (float m = l + (h - l) / 2; m != l && m != h; m = l + (h - l) / 2)
                (colour(m) == colour(l) ? l : h) = m;
            int32_t bits;
            std::memcpy(&bits, &h, sizeof bits);
            for (int32_t j = bits - 64; j <= bits + 64; ++j)
                values.push_back(0), std::memcpy(&values.back(), &j, sizeof j);
        }
        ExpectRuleAtEveryValue(s, values);
    }
    EXPECT_FALSE(FieldRowPainter(RainbowScale(3, 3)).HasStepTable());
}

// Where the kernels' reciprocal rounds otherwise than the division (a quotient half-way between
// two floats) they still give the division's colour; red 2^30 wide shows one float step of q.
TEST(ColourTest, RowPainterRoundsQuotientTiesLikeTheDivision) {
    const struct {
        float scaleMin, scaleMax, value;
    } ties[] = {
        {-0x1.24924ap-3f, 0x1.336db6p+6f, 0x1.1a232p+5f},
        {-0x1.b6db6ep-2f, 0x1.84924ap+5f, 0x1.16668p+5f},
        {-0x1.24924ap-3f, 0x1.736db6p+6f, 0x1.17f562p+5f},
        {-0x1.24924ap-3f, 0x1.a3b6dcp+7f, 0x1.0fc41ap+5f},
    };
    for (const auto& t : ties) {
        const DisplaySettings s = TwoColourScale(t.scaleMin, t.scaleMax, kBlack, {1 << 30, 0, 0});
        const double numerator = double(t.value) - t.scaleMin, span = s.ScaleSpan();
        ASSERT_NE(float(numerator * (1.0 / span)), float(numerator / span)) << "not a tie";
        ExpectRuleAtEveryValue(s, std::vector<float>(4, t.value));
    }
}

}  // namespace

}  // namespace quorlane
