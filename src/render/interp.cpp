// Field interpolation: the 3 × 3 quadratic Lagrange interpolation of the
// Grid, as per-point Interpolate() built from the split form that the paint
// pass uses.
#include "render/interp.h"

#include <cstddef>

namespace quorlane {

namespace {

// The cell (1..count) holding coordinate c, and c's offset from that cell's
// centre. trunc(c + 1) is taken in double, so a float just below a whole
// number stays in its cell. Coordinates outside [0, count) use the nearest
// cell (the far edge c == count uses the last one) and measure their offset
// from its centre; NaN uses cell 1 and gives a NaN offset.
inline uint32_t CellOf(float c, uint32_t count, float& offset) {
    const double c1 = double(c) + 1.0;
    uint32_t cell;
    if (!(c1 >= 1.0))
        cell = 1;
    else if (c1 >= double(count) + 1.0)
        cell = count;
    else
        cell = uint32_t(c1);
    // For 0 <= c < count, cell − 1 == trunc(c), taken back as a signed
    // 32-bit value; counts are far below 2^31.
    const int32_t whole = int32_t(cell - 1);
    offset = float(c - (double(whole) + 0.5));
    return cell;
}

}  // namespace

XWeights ColumnWeights(const Grid& grid, float qx) {
    XWeights w;
    float q;
    w.column = CellOf(qx, grid.columns, q);
    w.halfQ = float(0.5 * q);
    w.halfQMinus1 = float(double(w.halfQ) - 1.0);
    w.oneMinusQ = float(1.0 - q);
    w.onePlusQ = float(1.0 + q);
    return w;
}

YWeights RowWeights(const Grid& grid, float qy) {
    YWeights w;
    w.row = CellOf(qy, grid.rows, w.offset);
    return w;
}

float Interpolate(const Grid& grid, float qx, float qy) {
    const XWeights xw = ColumnWeights(grid, qx);
    const YWeights yw = RowWeights(grid, qy);
    const float f0 = AlongX(xw, grid.Row(yw.row - 1));
    const float f1 = AlongX(xw, grid.Row(yw.row));
    const float f2 = AlongX(xw, grid.Row(yw.row + 1));
    return AlongY(yw, f0, f1, f2);
}

}  // namespace quorlane
