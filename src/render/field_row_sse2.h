#pragma once
// The SSE2 kernels of the field row painter: four values at a time, by the
// step table or by the arithmetic of the field colour rule.
#include "render/field_row.h"

namespace quorlane {

#if QUORLANE_SSE2
// Paints the first n − n % 4 values of the run and returns how many it
// painted (0 for a scale of zero span, which only the scalar rule colours).
// `table` may be null. Values the kernels cannot settle take the scalar rule.
int PaintFieldRowSse2(const DisplaySettings& settings, const FieldStepTable* table,
                      const float* values, uint32_t* pixels, int n);
#endif

}  // namespace quorlane
