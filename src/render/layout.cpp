// The layout: the field box fitted with the field's aspect ratio, the band
// box in unsigned arithmetic, and the texts that hang on the band.
#include "render/layout.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "render/position_runs.h"

namespace quorlane {

namespace {

// Box coordinates are handed to the drawing surface as signed 32-bit
// values; a box reaching beyond that is not drawn at all.
constexpr double kCoordLimit = 2147483648.0;

bool Usable(float v) {
    return std::isfinite(v) && std::fabs(double(v)) < kCoordLimit;
}

int ToInt(double v) {
    const int64_t t = Trunc(v);
    return int(std::min<int64_t>(std::max<int64_t>(t, INT32_MIN), INT32_MAX));
}

void PutText(PaintText* t, double x, double y) {
    t->x = ToInt(x);
    t->y = ToInt(y);
    t->count = int(std::strlen(t->str));
}

// The band box, in unsigned arithmetic, and the texts that hang on it.
void PlaceBand(const DisplaySettings& s, Layout& L) {
    const int64_t right = L.width, bottom = L.height;
    // Defined only where nothing wraps.
    const int64_t bandTop = bottom - int64_t(s.bandHeight) - int64_t(s.bandStrip);
    if (right < int64_t(s.bandSideGap) || bandTop < 0) return;
    DrawingBox& b = L.band;
    b.xstart = float(s.bandSideGap);
    b.xend = float(uint32_t(right - s.bandSideGap));
    b.ystart = float(uint32_t(bandTop));
    b.yend = float(double(s.bandHeight) + double(b.ystart));
    L.hasBand = true;

    // The texts hang on the band: the caption from the band's middle, 20
    // pixels above it; the end values 5 pixels left of the band's ends, 4
    // pixels below it, each with its full length.
    const double xs = b.xstart, xe = b.xend, ys = b.ystart, ye = b.yend;
    std::snprintf(L.texts[0].str, sizeof L.texts[0].str, "%.49s", s.caption);
    PutText(&L.texts[0], (xs + xe) * 0.5, ys - 20);
    std::snprintf(L.texts[1].str, sizeof L.texts[1].str, "%4.2f", double(s.scaleMin));
    PutText(&L.texts[1], xs - 5, ye + 4);
    std::snprintf(L.texts[2].str, sizeof L.texts[2].str, "%4.2f", double(s.scaleMax));
    PutText(&L.texts[2], xe - 5, ye + 4);
    L.textCount = 3;
}

}  // namespace

Layout ComputeLayout(const Grid& grid, const DisplaySettings& s, int width, int height) {
    Layout L{};
    L.width = std::max(width, 0);
    L.height = std::max(height, 0);

    // Room for the field box above the band; may be zero or negative.
    L.roomWidth = float(L.width);
    L.roomHeight =
        float(double(L.height) - double(s.bandHeight) - double(s.bandStrip) - double(s.bandStrip));

    // Aspect fit. Each value is stored as a float before the next uses it.
    DrawingBox& f = L.field;
    const double roomW = L.roomWidth, roomH = L.roomHeight;
    if (grid.Loaded() && roomW > 0 && roomH != 0) {
        const double A = double(grid.fieldWidth) / roomW;   // world units per pixel across
        const double B = double(grid.fieldHeight) / roomH;  // and down
        // A field so small in world units that the scale rounds to 0 gets
        // no box: the centring divides by it.
        const float k = float(B < A ? A : B);
        if (std::isfinite(k) && k > 0) {
            if (B < A) {  // the width binds
                L.worldPerPixel = float(A);
                f.xstart = 0;
                f.xend = L.roomWidth;
                f.ystart = float((roomH - double(grid.fieldHeight) / L.worldPerPixel) * 0.5);
                f.yend = float(roomH - double(f.ystart));
            } else {  // the height binds, equality included
                L.worldPerPixel = float(B);
                f.ystart = 0;
                f.yend = L.roomHeight;
                f.xstart = float((roomW - double(grid.fieldWidth) / L.worldPerPixel) * 0.5);
                f.xend = float(roomW - double(f.xstart));
            }
            L.cellsPerPixelX = float(double(L.worldPerPixel) / double(grid.cellWidth));
            L.cellsPerPixelY = float(double(L.worldPerPixel) / double(grid.cellHeight));
            L.hasField = std::isfinite(L.cellsPerPixelX) && std::isfinite(L.cellsPerPixelY) &&
                         Usable(f.xstart) && Usable(f.xend) && Usable(f.ystart) && Usable(f.yend) &&
                         Usable(float(double(f.yend) + 1.0));
        }
    }

    PlaceBand(s, L);
    return L;
}

}  // namespace quorlane
