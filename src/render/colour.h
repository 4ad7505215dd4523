#pragma once
// The colour rules, in their plain scalar form: the byte conversion, the
// rainbow ramps, the two-colour scale, the field colour rule (one field value
// to one pixel colour) and the band colour rule (one band column position to
// that column's colour). Pure functions of their arguments and the Display
// settings. They are the reference: the fast row painter (field_row.h) gives
// the very same pixels.
#include <cstdint>

#include "data/settings.h"

namespace quorlane {

// A Colour in the platform's COLORREF layout: red in bits 0-7, green in
// bits 8-15, blue in bits 16-23, bits 24-31 zero.
using Colour = uint32_t;

inline Colour MakeColour(uint8_t r, uint8_t g, uint8_t b) {
    return Colour(r) | (Colour(g) << 8) | (Colour(b) << 16);
}

// The off-screen image holds 32-bit top-down pixels as the display wants
// them: blue in bits 0-7, green in 8-15, red in 16-23 (0x00RRGGBB).
inline uint32_t PixelOf(Colour c) {
    return ((c & 0xFFu) << 16) | (c & 0xFF00u) | ((c >> 16) & 0xFFu);
}

// The window's background, light grey; also the colour of a field value
// that is not a number.
constexpr Colour kLightGrey = 0xC0C0C0u;

// Byte conversion: truncation toward zero to a 64-bit integer, low 8 bits
// kept (wrapping, never clamping). A value beyond 64 bits, or NaN, gives 0.
uint8_t ByteOf(double v);

// The rainbow ramps before the byte conversion, for a scale position q
// (a float, widened); q = 0 is red, q = 1 dark blue.
double RainbowRedLevel(double q);
double RainbowGreenLevel(double q);
double RainbowBlueLevel(double q);

// The rainbow ramps as colour components.
inline uint8_t RainbowRed(float q) {
    return ByteOf(RainbowRedLevel(q));
}
inline uint8_t RainbowGreen(float q) {
    return ByteOf(RainbowGreenLevel(q));
}
inline uint8_t RainbowBlue(float q) {
    return ByteOf(RainbowBlueLevel(q));
}

// The scale position of a field value, rounded to a float: the rainbow runs
// from scaleMax (q = 0) down, the two-colour scale from scaleMin (q = 0) up.
float ScalePosition(const DisplaySettings& s, float value);

// Red, green and blue of a field value by the scale's formula, before the
// byte conversion (no clipping, no special values).
void FormulaLevels(const DisplaySettings& s, float value, double levels[3]);

// Field colour rule: the Colour of one field value under the palette and
// clipping settings. NaN is light grey; a scale of zero span, infinite values
// and values too far out for the byte conversion take the nearer end's colour.
Colour FieldColour(const DisplaySettings& s, float value);

// Band colour rule: the Colour of the band column at position x, for a band
// from xstart to xend whose width is bandWidth = xend − xstart.
Colour BandColour(const DisplaySettings& s, float x, float xstart, float xend, float bandWidth);

}  // namespace quorlane
