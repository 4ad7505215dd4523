// Which pixels the field image and the band's inside cover.
#include "render/field_pixels.h"

#include <algorithm>

#include "render/position_runs.h"

namespace quorlane {

VisibleField VisibleFieldOf(const Layout& L) {
    VisibleField p;
    if (!L.hasField) return p;
    const DrawingBox& box = L.field;
    const ExactStart xs = SplitStart(box.xstart), xe = SplitStart(box.xend);
    const ExactStart ys = SplitStart(box.ystart), ye = SplitStart(box.yend);
    p.any = VisibleSteps(xs, xe, 1, L.width, &p.nx0, &p.nx1) &&  // columns while x < xend − 1
            VisibleSteps(ys, ye, 0, L.height, &p.ny0, &p.ny1);   // rows while y < yend
    if (p.any) {
        p.col0 = PixelOfStep(xs, p.nx0);
        p.row0 = PixelOfStep(ys, p.ny0);
    }
    return p;
}

BandInside BandInsideOf(const Layout& L) {
    BandInside b;
    if (!L.hasBand) return b;
    const DrawingBox& box = L.band;
    // Every band coordinate is a whole number: an unsigned count as a float.
    // Columns xstart + 1 … while x < xend − 1; rows ystart + 1 … while y < yend − 1.
    b.c0 = std::max<int64_t>(Trunc(box.xstart) + 1, 0);
    b.c1 = std::min<int64_t>(Trunc(box.xend) - 1, L.width);
    b.r0 = std::max<int64_t>(Trunc(box.ystart) + 1, 0);
    b.r1 = std::min<int64_t>(Trunc(box.yend) - 1, L.height);
    return b;
}

bool BandBoxCovers(const Layout& L, int64_t px, int64_t py) {
    if (!L.hasBand) return false;
    // The drawing surface's Rectangle: its corners put in order, right and bottom exclusive.
    const DrawingBox& box = L.band;
    const int64_t x0 = Trunc(box.xstart), x1 = Trunc(box.xend);
    const int64_t y0 = Trunc(box.ystart), y1 = Trunc(box.yend);
    return px >= std::min(x0, x1) && px < std::max(x0, x1) && py >= std::min(y0, y1) &&
           py < std::max(y0, y1);
}

}  // namespace quorlane
