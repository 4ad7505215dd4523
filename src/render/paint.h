#pragma once
// The paint pass: the picture of a layout drawn into a caller's 32-bit
// off-screen image. The Windows programs then draw the layout's three texts
// into the same image with the system font, in order, and the viewer shows
// the whole with one blit.
#include <cstddef>
#include <cstdint>

#include "data/grid.h"
#include "render/field_row.h"
#include "render/layout.h"

namespace quorlane {

class WorkerPool;

// A caller's image: rows of 32-bit pixels, 0x00RRGGBB, top row first, the
// start of each row `pitch` pixels after the start of the row before.
struct PixelImage {
    uint32_t* pixels;
    ptrdiff_t pitch;
};

// Draws the picture of `layout` into the layout.width × layout.height area
// of `image` (pitch >= layout.width); every write stays inside that area.
// The colours come from `painter` and the settings it was made from. The
// picture is cut into slices of whole rows, drawn on at most `threads`
// threads of `pool` (0: all of them, 1: only the caller's); the pixels are
// the same for any number. False, with nothing drawn, when there is no
// memory for the paint's plan (the band's colours, four bytes a column, and
// a little scratch for each thread).
bool PaintClient(const Grid& grid, const FieldRowPainter& painter, const Layout& layout,
                 PixelImage image, WorkerPool& pool, unsigned threads = 0);

}  // namespace quorlane
