// The field row painter against the scalar field colour rule: for settings and raw field values
// from the input, and a sweep across the scale and a little beyond with each value's float
// neighbours, the painter gives exactly PixelOf(FieldColour(settings, value)) at every alignment.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "render/colour.h"
#include "render/field_row.h"

namespace quorlane {

namespace {

float FromBits(uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

float Real(FuzzedDataProvider& in) {
    static const float special[] = {0,      1,     -1,      0.5f,  10,    100,   -40,      1e-45f,
                                    1e-38f, 1e30f, 3.4e38f, -0.0f, 0.65f, 12.5f, INFINITY, 1e-30f};
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return float(in.ConsumeIntegralInRange<int>(-300, 300));
    case 1:
        return special[in.ConsumeIntegralInRange<int>(0, 15)];
    default:
        return FromBits(in.ConsumeIntegral<uint32_t>());
    }
}

int32_t Component(FuzzedDataProvider& in) {
    return in.ConsumeBool() ? in.ConsumeIntegralInRange<int32_t>(-300, 600)
                            : in.ConsumeIntegral<int32_t>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    DisplaySettings s;
    s.scaleMin = Real(in);
    s.scaleMax = in.ConsumeIntegralInRange<int>(0, 7) == 0 ? s.scaleMin : Real(in);
    s.minRed = Component(in), s.maxRed = Component(in);
    s.minGreen = Component(in), s.maxGreen = Component(in);
    s.minBlue = Component(in), s.maxBlue = Component(in);
    s.clipping = in.ConsumeIntegralInRange<uint8_t>(0, 2);
    s.palette = in.ConsumeIntegralInRange<uint8_t>(0, 2);
    const FieldRowPainter painter(s);

    std::vector<float> values;
    while (values.size() < 256 && in.remaining_bytes() >= 4)
        values.push_back(FromBits(in.ConsumeIntegral<uint32_t>()));
    const float lo = std::fmin(s.scaleMin, s.scaleMax), hi = std::fmax(s.scaleMin, s.scaleMax);
    const double span = double(hi) - double(lo);
    if (std::isfinite(span)) {
        for (int k = -128; k <= 1152; ++k) {
            const float v = float(lo + span * k / 1024.0);
            values.push_back(v);
            values.push_back(std::nextafter(v, -INFINITY));
            values.push_back(std::nextafter(v, INFINITY));
        }
    }

    std::vector<uint32_t> pixels(values.size() + 1);
    for (size_t start : {size_t(0), size_t(1)}) {
        if (start > values.size()) break;
        const int n = int(values.size() - start);
        pixels[size_t(n)] = 0xDEADBEEFu;
        painter.Paint(values.data() + start, pixels.data(), n);
        for (int k = 0; k < n; ++k)
            FUZZ_CHECK(pixels[size_t(k)] == PixelOf(FieldColour(s, values[start + size_t(k)])));
        FUZZ_CHECK(pixels[size_t(n)] == 0xDEADBEEFu);
    }
    return 0;
}

}  // namespace quorlane
