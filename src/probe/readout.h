#pragma once
// What one pixel of the picture shows: over the field image, the point it
// was painted from (in world units and grid cells), the value its colour
// comes from and the cell under it; over the band's inside, the scale value
// of its column. The positions and the value are those of the paint itself
// (render/field_pixels, render/interp), so that the field colour rule applied
// to the value gives the pixel's colour exactly.
#include <cstdint>

#include "data/grid.h"
#include "data/settings.h"
#include "render/layout.h"

namespace quorlane {

enum class PixelPlace { kElsewhere, kField, kBand };

struct PixelReading {
    PixelPlace place = PixelPlace::kElsewhere;
    // Over the field: the point in grid cells from the field's top-left
    // corner, and in world units (cells times the cell's size, rounded to a
    // float), x to the right and y downward, as the rows are drawn.
    float qx = 0, qy = 0;
    float x = 0, y = 0;
    // The cell the point lies in (1-based, row 1 at the top) and its sample.
    uint32_t column = 0, row = 0;
    float sample = 0;
    // Over the field, the interpolated value the pixel's colour comes from;
    // over the band, the scale value of the column.
    float value = 0;
};

// The cell (1-based column and row) that the point (qx, qy), in grid cells
// from the top-left corner, lies in: the cell whose 3 × 3 stencil the
// interpolation uses there. A point on a border between two cells lies in
// the later one; points beyond the field (the ghost border and further) lie
// in the nearest cell, the far edges in the last.
void CellOfPoint(const Grid& grid, float qx, float qy, uint32_t* column, uint32_t* row);

// What the pixel in column px and row py of the picture of `layout` shows.
PixelReading ReadPixel(const Grid& grid, const DisplaySettings& settings, const Layout& layout,
                       int64_t px, int64_t py);

}  // namespace quorlane
