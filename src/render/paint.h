#pragma once
// The paint pass: from the client size, the Grid and the Display settings,
// the layout (field box, band box, texts) and the picture, drawn into a
// caller's 32-bit off-screen image. The application shows the image with one
// blit and then draws the three texts with the system font, in order.
#include <cstddef>
#include <cstdint>

#include "data/grid.h"
#include "data/settings.h"
#include "render/field_row.h"

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

// A caller's image: rows of 32-bit pixels, 0x00RRGGBB, top row first, the
// start of each row `pitch` pixels after the start of the row before.
struct PixelImage {
    uint32_t* pixels;
    ptrdiff_t pitch;
};

// Draws the picture of `layout` into the layout.width × layout.height area
// of `image` (pitch >= layout.width); every write stays inside that area.
// `rows` must be made from `settings`. The rows of the picture are split
// across at most `threads` threads of the shared worker pool (0: all of
// them, 1: only the caller's); the pixels are the same for any number.
void PaintClient(const Grid& grid, const DisplaySettings& settings, const FieldRowPainter& rows,
                 const Layout& layout, PixelImage image, unsigned threads = 0);
