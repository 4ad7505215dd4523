// The paint pass: layouts, frames, image and band extents, texts, degenerate
// client sizes, and whole images against a plain per-pixel rendering.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "data/grid.h"
#include "data/settings.h"
#include "render/colour.h"
#include "render/interp.h"
#include "render/paint.h"

namespace {

std::vector<float> block;

// A QntX × QntY grid of cells delX × delY, samples from a smooth bumpy
// function, with the ghost border.
void SetGrid(uint32_t nx, uint32_t ny, float dx, float dy) {
    QntX = nx, QntY = ny, QntX2 = nx + 2, QntY2 = ny + 2, delX = dx, delY = dy;
    Xmax = static_cast<float>(static_cast<double>(nx) * dx), Ymax = static_cast<float>(static_cast<double>(ny) * dy);
    block.assign(static_cast<size_t>(QntX2) * QntY2, 0);
    for (uint32_t j = 0; j < QntY2; ++j)
        for (uint32_t i = 0; i < QntX2; ++i) {
            const double u = std::min(std::max(i, 1u), nx), v = std::min(std::max(j, 1u), ny);
            block[j * QntX2 + i] = static_cast<float>(5 + 4 * std::sin(u * 0.7) * std::cos(v * 0.45) + 0.01 * u * v);
        }
    array = block.data();
}

void SetDisplay(uint8_t mode, uint8_t clip = 0, uint32_t band = 20, uint32_t xm = 30, uint32_t ym = 10) {
    Band = band, Xmargin = xm, Ymargin = ym, color = mode, clipping = clip;
    Fmin = 1, Fmax = 9, dFF = 8;
    minRed = 10, maxRed = 250, minGreen = 200, maxGreen = 20, minBlue = 0, maxBlue = 255;
    dRed = maxRed - minRed, dGreen = maxGreen - minGreen, dBlue = maxBlue - minBlue;
    std::strcpy(Label, "Pressure");
}

// An image with 64 guard cells either side that every paint must leave alone.
struct Image {
    int w, h;
    std::vector<uint32_t> buf;
    Image(int w_, int h_) : w(w_), h(h_), buf(size_t(w_) * size_t(h_) + 128, 0xDEADBEEFu) {}
    uint32_t* px() { return buf.data() + 64; }
    uint32_t at(int x, int y) const { return buf[64 + size_t(y) * w + x]; }
    bool guardsIntact() const { return buf[0] == 0xDEADBEEFu && buf[63] == buf[0] && buf.end()[-64] == buf[0] && buf.back() == buf[0]; }
};

// The plain rendering: Rectangle and SetPixel one pixel at a time, positions
// start + n taken in double, Interpolate and the colour rules per pixel.
void Set(Image& im, int64_t x, int64_t y, uint32_t v) {
    if (x >= 0 && y >= 0 && x < im.w && y < im.h) im.px()[y * im.w + x] = v;
}
void Rect(Image& im, int64_t l, int64_t t, int64_t r, int64_t b) {
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    for (int64_t y = t; y < b; ++y)
        for (int64_t x = l; x < r; ++x) Set(im, x, y, (x == l || x == r - 1 || y == t || y == b - 1) ? 0 : 0xFFFFFF);
}
void ReferencePaint(const Layout& L, Image& im) {
    std::fill(im.px(), im.px() + size_t(im.w) * im.h, 0xC0C0C0u);
    const DrawingBox& f = L.field;
    if (L.hasField) {
        Rect(im, int64_t(f.xstart), int64_t(f.ystart), int64_t(f.xend), int64_t(double(f.yend) + 1));
        for (int n = 1; double(f.ystart) + n < f.yend; ++n)
            for (int m = 1; double(f.xstart) + m < double(f.xend) - 1; ++m)
                Set(im, int64_t(double(f.xstart) + m), int64_t(double(f.ystart) + n),
                    PixelOf(FieldColour(Interpolate(float(m * double(L.k_norm_x)), float(n * double(L.k_norm_y))))));
    }
    const DrawingBox& b = L.band;
    if (L.hasBand) {
        Rect(im, int64_t(b.xstart), int64_t(b.ystart), int64_t(b.xend), int64_t(b.yend));
        const float qy = b.xend - b.xstart;
        for (double x = b.xstart + 1.0; x < double(b.xend) - 1; x += 1)
            for (double y = b.ystart + 1.0; y < double(b.yend) - 1; y += 1)
                Set(im, int64_t(x), int64_t(y), PixelOf(BandColour(float(x), b.xstart, b.xend, qy)));
    }
}

void ExpectSameAsReference(const Layout& L, const char* what) {
    Image got(L.width, L.height), want(L.width, L.height);
    PaintClient(L, got.px());
    ReferencePaint(L, want);
    ASSERT_TRUE(got.buf == want.buf) << what << " " << L.width << "x" << L.height;
}

bool Coloured(uint32_t p) { return p != 0 && p != 0xFFFFFF && p != 0xC0C0C0; }

// Columns and rows {c0, c1, r0, r1} of the coloured pixels in rows y0 … y1 − 1,
// or {-1} unless they fill that block exactly.
std::vector<int> ColouredBlock(const Image& im, int y0, int y1) {
    int n = 0, c0 = im.w, c1 = -1, r0 = y1, r1 = -1;
    for (int y = y0; y < y1; ++y)
        for (int x = 0; x < im.w; ++x)
            if (Coloured(im.at(x, y))) ++n, c0 = std::min(c0, x), c1 = std::max(c1, x), r0 = std::min(r0, y), r1 = std::max(r1, y);
    return n == (c1 - c0 + 1) * (r1 - r0 + 1) ? std::vector<int>{c0, c1, r0, r1} : std::vector<int>{-1};
}

// The worked layouts in a client of w × 300: grid, box, field image and band
// extents (inclusive), field frame columns and the high value's x.
struct LayoutCase {
    const char* name;
    uint32_t nx, ny;
    float dx, dy;
    int w;
    float k_norm, xs, xe, ys, ye;
    std::vector<int> image, band;
    int frameLeft, frameRight, highX;
};
const LayoutCase kLayouts[] = {
    {"worked", 13, 13, 10, 10, 400, 0.5f, 70, 330, 0, 260, {71, 328, 1, 259}, {31, 368, 271, 288}, 70, 330, 365},
    {"401 wide", 13, 13, 10, 10, 401, 0.5f, 70.5f, 330.5f, 0, 260, {71, 328, 1, 259}, {31, 369, 271, 288}, 70, 330, 366},
    {"width binds", 20, 10, 10, 10, 400, 0.5f, 0, 400, 30, 230, {1, 398, 31, 229}, {31, 368, 271, 288}, 0, 400, 365},
    {"start 70.25", 3, 13, 43.25f, 10, 400, 0.5f, 70.25f, 329.75f, 0, 260, {71, 328, 1, 259}, {31, 368, 271, 288}, 70, 329, 365},
    {"start 70.75", 11, 13, 11.75f, 10, 400, 0.5f, 70.75f, 329.25f, 0, 260, {71, 327, 1, 259}, {31, 368, 271, 288}, 70, 329, 365},
    // Row 64 is painted like its neighbours although ystart is 29.999996.
    {"float fidelity", 26, 13, 10, 10, 400, 0.65f, 0, 400, 29.999996f, 230, {1, 398, 30, 229}, {31, 368, 271, 288}, 0, 400, 365},
};

TEST(PaintLayout, WorkedLayouts) {
    SetDisplay(1, 1);
    for (const LayoutCase& c : kLayouts) {
        SCOPED_TRACE(c.name);
        SetGrid(c.nx, c.ny, c.dx, c.dy);
        const Layout L = ComputeLayout(c.w, 300);
        ASSERT_TRUE(L.hasField && L.hasBand && L.textCount == 3);
        EXPECT_EQ((std::vector<float>{L.k_norm, L.field.xstart, L.field.xend, L.field.ystart, L.field.yend}),
                  (std::vector<float>{c.k_norm, c.xs, c.xe, c.ys, c.ye}));
        Image im(c.w, 300);
        PaintClient(L, im.px());
        EXPECT_EQ(ColouredBlock(im, 0, 265), c.image);
        EXPECT_EQ(ColouredBlock(im, 265, 300), c.band);
        const int my = c.image[2] + 5;  // the frame's outline, grey beyond it
        EXPECT_EQ(im.at(c.frameLeft, my), 0u);
        EXPECT_EQ(im.at(c.frameRight - 1, my) == 0u, c.image[1] < c.frameRight - 1);  // or the image covers it
        EXPECT_TRUE(c.frameRight == c.w || im.at(c.frameRight, my) == 0xC0C0C0u);
        EXPECT_EQ((std::vector<int>{L.texts[0].x, L.texts[0].y, L.texts[1].x, L.texts[1].y, L.texts[2].x, L.texts[2].y}),
                  (std::vector<int>{200, 250, 25, 294, c.highX, 294}));
        ExpectSameAsReference(L, c.name);
    }
    SetGrid(4, 13, 10, 2);  // Xmax / 400 and Ymax / 260: the same double, not a float
    const Layout L = ComputeLayout(400, 300);
    EXPECT_TRUE(L.field.ystart == 0 && L.field.yend == 260 && L.field.xstart > 0) << "A = B takes the height branch";
}

TEST(PaintTexts, EndValuesAreDrawnWhole) {
    SetGrid(13, 13, 10, 10);
    SetDisplay(1);
    struct { float lo, hi; const char *low, *high; } cases[] = {
        {12.5f, -1, "12.50", "-1.00"}, {12345, 0.125f, "12345.00", "0.12"}, {-INFINITY, INFINITY, "-inf", " inf"},
        {3.4e38f, 0, "339999995214436424907732413799364296704.00", "0.00"}};
    for (const auto& c : cases) {
        Fmin = c.lo, Fmax = c.hi;
        const Layout L = ComputeLayout(400, 300);
        EXPECT_EQ(std::string(L.texts[1].str, L.texts[1].count), c.low);
        EXPECT_EQ(std::string(L.texts[2].str, L.texts[2].count), c.high);
    }
    for (const char* label : {"", "T", "A_caption_of_forty_nine_characters_xxxxxxxxxxxxxx"}) {
        std::strcpy(Label, label);
        const Layout L = ComputeLayout(400, 300);
        EXPECT_EQ(std::string(L.texts[0].str, L.texts[0].count), label);
    }
}

TEST(PaintImage, SameAsPlainPerPixelRendering) {
    SetGrid(7, 5, 3, 2.5f);
    for (uint8_t mode : {1, 2})
        for (uint8_t clip : {0, 1}) {
            SetDisplay(mode, clip, 6, 5, 3);
            for (int w : {1, 2, 9, 17, 37, 64, 101})
                for (int h : {1, 9, 12, 13, 15, 29, 80}) ExpectSameAsReference(ComputeLayout(w, h), "small");
        }
    // Boxes placed by hand: fractional and negative starts, two positions on pixel 0,
    // grid coordinates beyond the grid.
    SetGrid(9, 9, 1, 1);
    Layout L = ComputeLayout(60, 50);
    for (DrawingBox f : {DrawingBox{-2.25f, 41.5f, -3.5f, 20.25f}, DrawingBox{0.3f, 33, -0.7f, 44.9f},
                         DrawingBox{-0.0009765625f, 59.75f, 0.5f, 39}}) {
        L.field = f, L.k_norm_x = 0.17f, L.k_norm_y = 0.2f;
        ExpectSameAsReference(L, "by hand");
    }
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(-30, 70);
    for (int t = 0; t < 300; ++t) {
        const float x = d(rng), y = d(rng);
        L.field = {x, x + std::fabs(d(rng)), y, y + std::fabs(d(rng))};
        ExpectSameAsReference(L, "random");
    }
    // A start 2^-60 off a whole number: exact positions, no column lost to rounding.
    SetDisplay(1, 1);
    L.field = {-0x1p-60f, 20, 0x1p-60f, 10};
    Image im(60, 50);
    PaintClient(L, im.px());
    EXPECT_EQ(ColouredBlock(im, 0, 20), (std::vector<int>{0, 18, 1, 9}));
}

TEST(PaintDegenerate, AnyClientSizeStaysInsideTheImage) {
    SetDisplay(1);
    SetGrid(13, 13, 10, 10);
    struct { int w, h; bool field, band; } cases[] = {
        {0, 0, false, false}, {0, 300, false, false}, {400, 40, false, true},  // width 0, maxy 0
        {20, 300, true, false}, {400, 25, true, false}, {1, 1, true, false},    // narrow, low, tiny
        {35, 300, true, true}, {400, 35, true, true},                           // band box inverted; maxy < 0
    };
    for (const auto& c : cases) {
        const Layout L = ComputeLayout(c.w, c.h);
        EXPECT_TRUE(L.hasField == c.field && L.hasBand == c.band && L.textCount == (c.band ? 3 : 0)) << c.w << "x" << c.h;
    }
    for (int w = 0; w <= 72; ++w)
        for (int h = 0; h <= 72; ++h) ExpectSameAsReference(ComputeLayout(w, h), "sweep");
    SetDisplay(2, 0, 4000000000u, 3000000000u, 4000000000u);  // nothing may wrap
    for (int s : {0, 1, 50, 300}) ExpectSameAsReference(ComputeLayout(s, s), "huge settings");
    SetDisplay(1);
    for (float d : {1e38f, 1e-44f}) {  // Xmax overflows; k_norm_x overflows
        SetGrid(13, 13, d, 10);
        EXPECT_FALSE(ComputeLayout(400, 300).hasField) << d;
    }
    SetGrid(13, 13, 10, 10);
    Image big(8192, 8192);
    PaintClient(ComputeLayout(8192, 8192), big.px());
    EXPECT_TRUE(big.guardsIntact() && Coloured(big.at(4096, 4096)));
}

}  // namespace
