#pragma once
// The plain rendering: a drawing surface's pixels, the field interpolated point by point.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "render/colour.h"
#include "render/interp.h"
#include "render/paint.h"

namespace quorlane {

constexpr uint32_t kUntouched = 0xDEADBEEFu;

// An image of w × h pixels whose rows lie `pad` pixels further apart than its width, with 64
// guard pixels before and after: a paint may change nothing but the w × h area.
struct Image {
    int64_t w, h, pitch;
    std::vector<uint32_t> buf;
    Image(int width, int height, int pad = 0)
        : w(width), h(height), pitch(width + pad), buf(size_t(pitch * h) + 128, kUntouched) {}
    uint32_t* Pixels() { return buf.data() + 64; }
    PixelImage Target() { return {Pixels(), pitch}; }
    uint32_t& At(int64_t x, int64_t y) { return Pixels()[y * pitch + x]; }
    void Set(int64_t x, int64_t y, uint32_t v) {
        if (x >= 0 && y >= 0 && x < w && y < h) At(x, y) = v;
    }
    // The surface's Rectangle, one pixel at a time (those inside the image).
    void Rect(int64_t l, int64_t t, int64_t r, int64_t b) {
        if (l > r) std::swap(l, r);
        if (t > b) std::swap(t, b);
        for (int64_t y = std::max<int64_t>(t, 0); y < std::min(b, h); ++y)
            for (int64_t x = std::max<int64_t>(l, 0); x < std::min(r, w); ++x)
                Set(x, y, (x == l || x == r - 1 || y == t || y == b - 1) ? 0 : 0xFFFFFF);
    }
};

// The first step n >= 1 of the positions start + n whose pixel may lie inside the image.
inline int64_t FirstStepInside(float start) {
    return std::max<int64_t>(1, int64_t(std::floor(-1.0 - double(start))));
}

// The background, the frames, and the field and band at positions start + n taken in double.
inline void PaintPlainly(const Grid& g, const DisplaySettings& s, const Layout& L, Image& im) {
    for (int64_t y = 0; y < im.h; ++y)
        for (int64_t x = 0; x < im.w; ++x) im.At(x, y) = 0xC0C0C0u;
    const DrawingBox &f = L.field, &b = L.band;
    if (L.hasField) {
        im.Rect(int64_t(f.xstart), int64_t(f.ystart), int64_t(f.xend), int64_t(double(f.yend) + 1));
        for (int64_t n = FirstStepInside(f.ystart);
             double(f.ystart) + n < f.yend && double(f.ystart) + n < im.h; ++n) {
            for (int64_t m = FirstStepInside(f.xstart);
                 double(f.xstart) + m < double(f.xend) - 1 && double(f.xstart) + m < im.w; ++m) {
                const float value = Interpolate(g, float(double(m) * L.cellsPerPixelX),
                                                float(double(n) * L.cellsPerPixelY));
                im.Set(int64_t(double(f.xstart) + m), int64_t(double(f.ystart) + n),
                       PixelOf(FieldColour(s, value)));
            }
        }
    }
    if (L.hasBand) {
        im.Rect(int64_t(b.xstart), int64_t(b.ystart), int64_t(b.xend), int64_t(b.yend));
        for (double x = b.xstart + 1.0; x < double(b.xend) - 1 && x < im.w; x += 1)
            for (double y = b.ystart + 1.0; y < double(b.yend) - 1 && y < im.h; y += 1)
                im.Set(int64_t(x), int64_t(y),
                       PixelOf(BandColour(s, float(x), b.xstart, b.xend, b.xend - b.xstart)));
    }
}

}  // namespace quorlane
