#pragma once
// Colour scales: the rainbow palette (fRed, fGreen, fBlue) and the two-colour
// scale, the field colour rule (one field value to one pixel colour) and the
// band colour rule (one band column position to that column's colour).
// Pure functions of their arguments and the Display settings.
#include <cstdint>

// A Colour in the platform's COLORREF layout: red in bits 0-7, green in
// bits 8-15, blue in bits 16-23, bits 24-31 zero.
using Colour = uint32_t;

inline Colour MakeColour(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<Colour>(r) | (static_cast<Colour>(g) << 8) | (static_cast<Colour>(b) << 16);
}
inline uint8_t RedOf(Colour c) {
    return static_cast<uint8_t>(c);
}
inline uint8_t GreenOf(Colour c) {
    return static_cast<uint8_t>(c >> 8);
}
inline uint8_t BlueOf(Colour c) {
    return static_cast<uint8_t>(c >> 16);
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
// kept (wrapping, never clamping).
uint8_t ByteOf(double v);

// Rainbow ramps; q = 0 is red, q = 1 dark blue.
uint8_t fRed(float q);
uint8_t fGreen(float q);
uint8_t fBlue(float q);

// Field colour rule: the Colour of field value FF under `color` and `clipping`.
Colour FieldColour(float FF);

// The field colour rule over a run of n field values, written straight as
// image pixels: pixels[k] == PixelOf(FieldColour(FF[k])) for every k, bit for
// bit. This is the paint pass's per-pixel hot path.
void FieldRow(const float* FF, uint32_t* pixels, int n);

// Band colour rule: the Colour of the band column at position x, for a band
// from xstart to xend whose width is qy = xend - xstart.
Colour BandColour(float x, float xstart, float xend, float qy);
