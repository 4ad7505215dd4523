// The colour rules in their plain scalar form.
//
// All arithmetic between the stored 32-bit values runs in double; the scale
// position q is rounded to a float before the ramps see it. The conversion
// to a component truncates toward zero to a 64-bit integer and keeps the low
// 8 bits, so components outside 0..255 wrap.
#include "render/colour.h"

#include <cmath>
#include <limits>

namespace quorlane {

static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559,
              "float and double must be IEEE 754 binary32 and binary64");

namespace {

// True when trunc(v) is a 64-bit signed integer (false for NaN).
bool FitsInt64(double v) {
    return v >= -0x1p63 && v < 0x1p63;
}

uint8_t Low8(int32_t v) {
    return uint8_t(uint32_t(v));
}

Colour RainbowAt(float q) {
    return MakeColour(RainbowRed(q), RainbowGreen(q), RainbowBlue(q));
}

// The colours of the scale's two ends: the low end is the colour of
// scaleMin, the high end the colour of scaleMax.
Colour LowEnd(const DisplaySettings& s) {
    return s.Rainbow() ? RainbowAt(1.0f)
                       : MakeColour(Low8(s.minRed), Low8(s.minGreen), Low8(s.minBlue));
}
Colour HighEnd(const DisplaySettings& s) {
    return s.Rainbow() ? RainbowAt(0.0f)
                       : MakeColour(Low8(s.maxRed), Low8(s.maxGreen), Low8(s.maxBlue));
}

// Whether the low end is the nearer one for a value the formula cannot
// colour. With scaleMax below scaleMin the scaleMin end is the upper one.
bool NearerIsLow(const DisplaySettings& s, float value) {
    return s.scaleMin <= s.scaleMax ? value < s.scaleMin : value > s.scaleMin;
}

}  // namespace

uint8_t ByteOf(double v) {
    if (!FitsInt64(v)) return 0;  // the field colour rule never gets here with such a value
    return uint8_t(uint64_t(int64_t(v)));
}

// Each ramp tests its thresholds in increasing order, each as q >= threshold.
double RainbowRedLevel(double q) {
    if (!(q >= 0.2)) return 255.0;
    if (!(q >= 0.6)) return 255.0 - ((q - 0.2) * 255.0) * 2.5;
    return 0.0;
}
double RainbowGreenLevel(double q) {
    if (!(q >= 0.2)) return (255.0 * q) * 5.0;
    if (!(q >= 0.6)) return 255.0;
    return 255.0 - ((q - 0.6) * 255.0) * 2.5;
}
double RainbowBlueLevel(double q) {
    if (!(q >= 0.4)) return 0.0;
    if (!(q >= 0.6)) return ((q - 0.4) * 255.0) * 5.0;
    if (!(q >= 0.8)) return 255.0;
    return 255.0 - ((q - 0.8) * 127.0) * 5.0;
}

float ScalePosition(const DisplaySettings& s, float value) {
    const double span = s.ScaleSpan();
    return s.Rainbow() ? float((double(s.scaleMax) - value) / span)
                       : float((double(value) - s.scaleMin) / span);
}

void FormulaLevels(const DisplaySettings& s, float value, double levels[3]) {
    const float q = ScalePosition(s, value);
    if (s.Rainbow()) {
        levels[0] = RainbowRedLevel(q);
        levels[1] = RainbowGreenLevel(q);
        levels[2] = RainbowBlueLevel(q);
    } else {
        levels[0] = s.minRed + s.RedSpan() * double(q);
        levels[1] = s.minGreen + s.GreenSpan() * double(q);
        levels[2] = s.minBlue + s.BlueSpan() * double(q);
    }
}

Colour FieldColour(const DisplaySettings& s, float value) {
    if (std::isnan(value)) return kLightGrey;
    if (s.Clips() && !(value >= s.scaleMin)) return LowEnd(s);
    if (s.Clips() && value > s.scaleMax) return HighEnd(s);
    if (s.ScaleSpan() == 0.0f) return value < s.scaleMin ? LowEnd(s) : HighEnd(s);
    if (std::isinf(value)) return NearerIsLow(s, value) ? LowEnd(s) : HighEnd(s);

    double c[3];
    FormulaLevels(s, value, c);
    if (!FitsInt64(c[0]) || !FitsInt64(c[1]) || !FitsInt64(c[2]))
        return NearerIsLow(s, value) ? LowEnd(s) : HighEnd(s);
    return MakeColour(ByteOf(c[0]), ByteOf(c[1]), ByteOf(c[2]));
}

Colour BandColour(const DisplaySettings& s, float x, float xstart, float xend, float bandWidth) {
    if (s.Rainbow()) return RainbowAt(float((double(xend) - x) / bandWidth));
    const double q = float((double(x) - xstart) / bandWidth);
    return MakeColour(ByteOf(s.minRed + s.RedSpan() * q), ByteOf(s.minGreen + s.GreenSpan() * q),
                      ByteOf(s.minBlue + s.BlueSpan() * q));
}

}  // namespace quorlane
