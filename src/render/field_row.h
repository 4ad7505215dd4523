#pragma once
// The fast field row painter: the field colour rule over a run of field
// values, written straight as image pixels. One is made per Display settings
// (building it costs up to a few milliseconds) and kept by whoever paints;
// it holds a copy of the settings it was made from, so it can never paint
// with a table built for other settings.
//
// For every float value v, bit for bit:
//     painter.Paint(&v, &pixel, 1)  gives  pixel == PixelOf(FieldColour(settings, v)).
#include <cstdint>
#include <vector>

#include "common/simd.h"
#include "data/settings.h"

namespace quorlane {

// The exact step table of one set of settings (see field_row.cpp).
struct FieldStepTable {
    static constexpr int kBuckets = 2048;
    static constexpr int kSteps = 3;
    static constexpr uint32_t kSlow =
        0x80000000u;  // in a bucket's first pixel: take the arithmetic

    struct alignas(32) Bucket {
        float step[kSteps];       // ascending; +inf when unused
        uint32_t first;           // the pixel of the bucket's first value
        uint32_t change[kSteps];  // the pixel before a step XOR the pixel from it on
        uint32_t unused;
    };

    float lo = 0, hi = 0;                  // the values the table covers, lo <= v <= hi
    float scale = 0;                       // buckets per unit of value
    uint32_t lowPixel = 0, highPixel = 0;  // clipped values below lo and above hi
    std::vector<Bucket> buckets;           // empty: no table, every value takes the arithmetic

    // The bucket of a value lo <= v <= hi: trunc(max(min((v − lo) × scale,
    // kBuckets − 1), 0)) in float arithmetic, NaN giving the last bucket;
    // the four-wide lookup forms it with the very same operations.
    int BucketOf(float v) const {
        float x = (v - lo) * scale;
        x = x < float(kBuckets - 1) ? x : float(kBuckets - 1);
        x = x > 0.0f ? x : 0.0f;
        return int(x);
    }
};

class FieldRowPainter {
  public:
    explicit FieldRowPainter(const DisplaySettings& settings);

    const DisplaySettings& Settings() const { return settings_; }
    // True when the step table serves these settings (false, for example,
    // for a scale of zero or infinite span).
    bool HasStepTable() const { return !table_.buckets.empty(); }

    // pixels[k] = PixelOf(FieldColour(Settings(), values[k])) for k < n.
    void Paint(const float* values, uint32_t* pixels, int n) const;

  private:
    uint32_t PixelOfValue(float v) const;

    DisplaySettings settings_;
    FieldStepTable table_;
};

}  // namespace quorlane
