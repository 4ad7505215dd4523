#pragma once
// Field interpolation: the 3 × 3 quadratic Lagrange interpolation of the Grid
// at grid coordinates (qx, qy), in cells from the field's top-left corner.
//
// Interpolate() is the per-point form. The paint pass uses the split form:
// the x weights depend only on the pixel column and the y weights only on
// the pixel row, so they are formed once per column and once per row, and
// the three row results along x depend only on the column and the cell row.
// Both forms give bit-identical results.
#include <cstdint>

#include "data/grid.h"

namespace quorlane {

// Weights along x of one point: the cell column and the four weights of the
// offset q from the cell's centre, each rounded to a 32-bit float when stored.
struct XWeights {
    uint32_t column;    // array column of the cell, kept within 1..columns
    float halfQMinus1;  // 0.5·q − 1
    float oneMinusQ;    // 1 − q
    float halfQ;        // 0.5·q
    float onePlusQ;     // 1 + q
};

// Weights along y of one point: the cell row and the offset from the cell's
// centre. The y weights are formed inline from the offset and never stored.
struct YWeights {
    uint32_t row;  // array row of the cell, kept within 1..rows
    float offset;  // in [-0.5, 0.5) (0.5 on the far edge)
};

XWeights ColumnWeights(const Grid& grid, float qx);
YWeights RowWeights(const Grid& grid, float qy);

// One row along x: `row` points at an array row of the grid.
// ((halfQMinus1·u + oneMinusQ·v) + halfQ·w)·onePlusQ + u in double, stored as float.
inline float AlongX(const XWeights& w, const float* row) {
    const double u = row[w.column - 1], v = row[w.column], s = row[w.column + 1];
    return float(((w.halfQMinus1 * u + w.oneMinusQ * v) + w.halfQ * s) * double(w.onePlusQ) + u);
}
// Along y through the three row results of the cell's rows above, on and
// below, the weights formed inline in double.
inline float AlongY(const YWeights& w, float f0, float f1, float f2) {
    const double q = w.offset;
    return float((((0.5 * q - 1.0) * f0 + (1.0 - q) * f1) + (0.5 * q) * f2) * (q + 1.0) + f0);
}

// The interpolated field value at (qx, qy).
float Interpolate(const Grid& grid, float qx, float qy);

}  // namespace quorlane
