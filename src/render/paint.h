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
    bool hasField;             // the field box is defined (else nothing of it is drawn)
    DrawingBox field;
    bool hasBand;              // the band box is defined (else nothing of it is drawn)
    DrawingBox band;
    PaintText texts[3];        // caption, low end value, high end value
    int textCount;             // how many of texts[] to draw (0..3)
};

// Computes the layout for a client of width × height pixels.
Layout ComputeLayout(int width, int height);

// Draws the picture of `layout` into `pixels`: layout.width × layout.height
// 32-bit pixels, top row first, 0x00RRGGBB. Every write stays inside it.
void PaintClient(const Layout& layout, uint32_t* pixels);
