#pragma once
// The paint pass: from the client size, the Grid and the Display settings,
// the layout (field box, band box, texts) and the picture, drawn into a
// 32-bit top-down off-screen image. The application shows the image with one
// blit and then draws the three texts with the system font, in order.
#include <cstdint>

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
    int width, height;         // client size
    float maxx, maxy;          // room for the field box
    float k_norm;              // world units per pixel
    float k_norm_x, k_norm_y;  // cells per pixel
    // The field box is defined (else nothing of it is drawn, not even its
    // frame): false for a client of width 0, for a maxy of exactly 0, for a
    // grid that is not loaded, and when a scale factor or a box edge is not
    // finite or lies beyond ±2^31. A negative maxy is defined: the width
    // binds and the box is centred on maxy / 2, its upper part clipped away.
    bool hasField;
    DrawingBox field;
    // The band box is defined (else nothing of it is drawn): false for a
    // client narrower than Xmargin or lower than Band + Ymargin, where its
    // unsigned coordinates would wrap. The texts hang on the band box, so
    // without it none is drawn (textCount 0); with it all three are, also
    // when the band is too narrow to hold a band pixel.
    bool hasBand;
    DrawingBox band;
    PaintText texts[3];  // caption, low end value, high end value
    int textCount;       // how many of texts[] to draw (0..3)
};

// Computes the layout for a client of width × height pixels.
Layout ComputeLayout(int width, int height);

// Draws the picture of `layout` into `pixels`: layout.width × layout.height
// 32-bit pixels, top row first, 0x00RRGGBB. Every write stays inside it.
void PaintClient(const Layout& layout, uint32_t* pixels);
