// What one pixel shows, asked of the paint's own positions and interpolation.
#include "probe/readout.h"

#include "render/field_pixels.h"
#include "render/interp.h"

namespace quorlane {

void CellOfPoint(const Grid& grid, float qx, float qy, uint32_t* column, uint32_t* row) {
    *column = ColumnWeights(grid, qx).column;
    *row = RowWeights(grid, qy).row;
}

PixelReading ReadPixel(const Grid& grid, const DisplaySettings& settings, const Layout& layout,
                       int64_t px, int64_t py) {
    PixelReading r;
    // The band is drawn after the field image, so where both lie the band shows.
    const BandInside band = BandInsideOf(layout);
    if (!band.Empty() && px >= band.c0 && px < band.c1 && py >= band.r0 && py < band.r1) {
        // The band colour rule's scale position of column px, as a value of the scale.
        const DrawingBox& b = layout.band;
        const float width = float(double(b.xend) - double(b.xstart));
        const double q = float((double(float(px)) - b.xstart) / width);
        r.place = PixelPlace::kBand;
        r.value = float(double(settings.scaleMin) + q * settings.ScaleSpan());
        return r;
    }
    if (!grid.Loaded() || BandBoxCovers(layout, px, py)) return r;
    const VisibleField field = VisibleFieldOf(layout);
    if (!field.any || px < field.col0 || px >= field.col0 + field.Columns() || py < field.row0 ||
        py >= field.row0 + field.Rows())
        return r;
    r.place = PixelPlace::kField;
    r.qx = FieldColumnCoordinate(layout, field.nx0 + (px - field.col0));
    r.qy = FieldRowCoordinate(layout, field.ny0 + (py - field.row0));
    r.x = float(double(r.qx) * double(grid.cellWidth));
    r.y = float(double(r.qy) * double(grid.cellHeight));
    CellOfPoint(grid, r.qx, r.qy, &r.column, &r.row);
    r.sample = grid.Cell(r.column, r.row);
    r.value = Interpolate(grid, r.qx, r.qy);
    return r;
}

}  // namespace quorlane
