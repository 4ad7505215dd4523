#pragma once
// Which pixels of a layout the field image and the band's inside cover, and
// which position each field pixel shows. The paint draws exactly these
// pixels from exactly these positions; the readout asks the same questions
// of one pixel, so that it names the position and value the paint used.
#include <cstdint>

#include "render/layout.h"

namespace quorlane {

// The field image's visited positions cut to the picture: n = nx0 … nx1
// across and ny0 … ny1 down, on the consecutive pixel columns from col0 and
// rows from row0 (step n across lies on column col0 + n − nx0).
struct VisibleField {
    bool any = false;
    int64_t nx0 = 0, nx1 = -1, ny0 = 0, ny1 = -1, col0 = 0, row0 = 0;
    int64_t Columns() const { return nx1 - nx0 + 1; }
    int64_t Rows() const { return ny1 - ny0 + 1; }
};

// The visible part of the layout's field image (columns while x < xend − 1,
// rows while y < yend); none when the layout has no field box.
VisibleField VisibleFieldOf(const Layout& layout);

// The grid coordinates, in cells from the field's top-left corner, of the
// field position start + n: the step times the cells per pixel, in double,
// rounded to a float.
inline float FieldColumnCoordinate(const Layout& layout, int64_t n) {
    return float(double(n) * double(layout.cellsPerPixelX));
}
inline float FieldRowCoordinate(const Layout& layout, int64_t n) {
    return float(double(n) * double(layout.cellsPerPixelY));
}

// The band's coloured inside, clipped to the picture: columns c0 … c1 − 1 and
// rows r0 … r1 − 1 (empty when c1 <= c0 or r1 <= r0, or without a band box).
// Column c is coloured as the band position c.
struct BandInside {
    int64_t c0 = 0, c1 = 0, r0 = 0, r1 = 0;
    bool Empty() const { return c1 <= c0 || r1 <= r0; }
};
BandInside BandInsideOf(const Layout& layout);

// Whether the band box's frame or inside, drawn over the field image, covers
// the pixel in column px and row py.
bool BandBoxCovers(const Layout& layout, int64_t px, int64_t py);

}  // namespace quorlane
