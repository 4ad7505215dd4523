// Field interpolation: the 3 × 3 quadratic Lagrange interpolation of the
// Grid, as per-point Interpolate() built from the split form that the paint
// pass uses.
#include "render/interp.h"

#include <cstddef>

#include "data/grid.h"

namespace {

// The cell (1..count) holding coordinate c, and c's offset from that cell's
// centre. trunc(c + 1) is taken in double, so a float just below a whole
// number stays in its cell. Coordinates outside [0, count) use the nearest
// cell (the far edge c == count uses the last one) and measure their offset
// from its centre; NaN uses cell 1 and gives a NaN offset.
inline uint32_t CellOf(float c, uint32_t count, float& offset) {
    const double c1 = static_cast<double>(c) + 1.0;
    uint32_t cell;
    if (!(c1 >= 1.0))
        cell = 1;
    else if (c1 >= static_cast<double>(count) + 1.0)
        cell = count;
    else
        cell = static_cast<uint32_t>(c1);
    // For 0 <= c < count, cell - 1 == trunc(c), taken back as a signed
    // 32-bit value; counts are far below 2^31.
    const int32_t whole = static_cast<int32_t>(cell - 1);
    offset = static_cast<float>(c - (static_cast<double>(whole) + 0.5));
    return cell;
}

}  // namespace

XWeights ColumnWeights(float qx) {
    XWeights w;
    float q;
    w.i = CellOf(qx, QntX, q);
    w._05q = static_cast<float>(0.5 * q);
    w._05q_1 = static_cast<float>(static_cast<double>(w._05q) - 1.0);
    w._1_q = static_cast<float>(1.0 - q);
    w.q_1 = static_cast<float>(1.0 + q);
    return w;
}

YWeights RowWeights(float qy) {
    YWeights w;
    w.j = CellOf(qy, QntY, w.qy);
    return w;
}

float Interpolate(float qx, float qy) {
    const XWeights xw = ColumnWeights(qx);
    const YWeights yw = RowWeights(qy);
    const float* row = array + static_cast<size_t>(yw.j) * QntX2;
    const float f0 = AlongX(xw, row - QntX2);
    const float f1 = AlongX(xw, row);
    const float f2 = AlongX(xw, row + QntX2);
    return AlongY(yw, f0, f1, f2);
}
