#pragma once
// The layout of one client size: the field box fitted to the room above the
// colour band with the field's aspect ratio, the band box, and the three
// texts that hang on the band (caption, low and high end values).
#include "data/grid.h"
#include "data/settings.h"

namespace quorlane {

// A Drawing box in client pixels.
struct DrawingBox {
    float xstart, xend, ystart, yend;
};

// One text to draw at (x, y), its top-left corner: `count` characters of `str`.
struct PaintText {
    int x, y;
    int count;
    char str[80];
};

struct Layout {
    int width, height;            // client size
    float roomWidth, roomHeight;  // room for the field box; the height may be zero or negative
    float worldPerPixel;          // world units per pixel, the same on both axes
    float cellsPerPixelX;         // grid cells per pixel across
    float cellsPerPixelY;         // grid cells per pixel down
    // The field box is defined (else nothing of it is drawn, not even its
    // frame): false for a client of width 0, for a room height of exactly 0,
    // for a grid that is not loaded, and when a scale factor or a box edge is
    // not finite or lies beyond ±2^31. A negative room height is defined: the
    // width binds and the box is centred on half of it, its upper part
    // clipped away.
    bool hasField;
    DrawingBox field;
    // The band box is defined (else nothing of it is drawn): false for a
    // client narrower than the band's side gap or lower than the band and
    // the strip below it, where its unsigned coordinates would wrap. The
    // texts hang on the band box, so without it none is drawn (textCount 0);
    // with it all three are, also when the band is too narrow to hold a band
    // pixel.
    bool hasBand;
    DrawingBox band;
    PaintText texts[3];  // caption, low end value, high end value
    int textCount;       // how many of texts[] to draw (0..3)
};

// Computes the layout for a client of width × height pixels.
Layout ComputeLayout(const Grid& grid, const DisplaySettings& settings, int width, int height);

}  // namespace quorlane
