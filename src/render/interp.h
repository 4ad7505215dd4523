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

// Weights along x of one point: the cell column i and the four weights,
// each rounded to a 32-bit float when stored.
struct XWeights {
    uint32_t i;    // array column of the cell, kept within 1..QntX
    float _05q_1;  // 0.5·q − 1
    float _1_q;    // 1 − q
    float _05q;    // 0.5·q
    float q_1;     // 1 + q
};

// Weights along y of one point: the cell row j and the offset qy from the
// cell centre. The y weights are formed inline from qy and never stored.
struct YWeights {
    uint32_t j;  // array row of the cell, kept within 1..QntY
    float qy;    // offset from the cell centre, in [-0.5, 0.5) (0.5 on the far edge)
};

XWeights ColumnWeights(float qx);
YWeights RowWeights(float qy);

// One row along x: `row` points at array row r (element r·QntX2).
// result = ((_05q_1·u + _1_q·v) + _05q·w)·q_1 + u in double, stored as float.
inline float AlongX(const XWeights& w, const float* row) {
    const double u = row[w.i - 1], v = row[w.i], s = row[w.i + 1];
    return static_cast<float>(
        ((w._05q_1 * u + w._1_q * v) + w._05q * s) * static_cast<double>(w.q_1) + u);
}
// Along y through the three row results of rows j−1, j, j+1, the weights
// formed inline in double.
inline float AlongY(const YWeights& w, float f0, float f1, float f2) {
    const double q = w.qy;
    return static_cast<float>(
        (((0.5 * q - 1.0) * f0 + (1.0 - q) * f1) + (0.5 * q) * f2) * (q + 1.0) + f0);
}

// The interpolated field value FF at (qx, qy).
float Interpolate(float qx, float qy);
