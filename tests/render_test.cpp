// Rendering: colour scales, field interpolation and the paint pass, each held against a plain
// per-point form.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>

#include "data/grid.h"
#include "data/settings.h"
#include "render/colour.h"
#include "render/interp.h"
#include "render/paint.h"

namespace {

using std::string;
const float kInf = INFINITY, kNaN = NAN;

struct Scale {
    float fmin, fmax;
    int32_t minR, maxR, minG, maxG, minB, maxB;
    uint8_t clip, rainbow;
};
void Apply(const Scale& s) {
    Fmin = s.fmin, Fmax = s.fmax, dFF = Fmax - Fmin, clipping = s.clip, color = s.rainbow;
    minRed = s.minR, maxRed = s.maxR, minGreen = s.minG, maxGreen = s.maxG, minBlue = s.minB,
    maxBlue = s.maxB;
    auto sub = [](int32_t a, int32_t b) { return int32_t(uint32_t(a) - uint32_t(b)); };
    dRed = sub(maxRed, minRed), dGreen = sub(maxGreen, minGreen), dBlue = sub(maxBlue, minBlue);
}
// Over 0..10, the two-colour scale from (0, 0, 255) to (255, 0, 0); clipping and color 2 mean off.
constexpr Scale kRainbowClip{0, 10, 0, 255, 0, 0, 255, 0, 1, 1},
    kRainbow{0, 10, 0, 255, 0, 0, 255, 0, 0, 1}, kTwoClip{0, 10, 0, 255, 0, 0, 255, 0, 1, 0},
    kTwo{0, 10, 0, 255, 0, 0, 255, 0, 2, 2}, kTiny{0, 1e-30f, 0, 255, 0, 0, 255, 0, 0, 1},
    kWide{0, 1, 0, 1000000000, 0, 0, 0, 0, 0, 0}, kUnit{0, 1, 0, 0, 0, 0, 0, 0, 0, 1},
    kRevClip{10, 0, 1, 2, 3, 4, 5, 6, 1, 0}, kRev{10, 0, 0, 100, 0, 0, 0, 0, 0, 0},
    kRevRainbow{10, 0, 0, 0, 0, 0, 0, 0, 0, 1}, kNeg{-1, 0, 0, 0, 0, 0, 0, 0, 0, 1};

// A grid of nx × ny cells dx × dy with its ghost border, between NaN guards so that a read outside
// the block shows as NaN; sample(i, j) for i in 1..nx, j in 1..ny.
std::vector<float> store;
float& Cell(uint32_t i, uint32_t j) {
    return array[j * QntX2 + i];
}
void SetGrid(uint32_t nx, uint32_t ny, const std::function<float(uint32_t, uint32_t)>& sample,
             float dx = 10, float dy = 10) {
    QntX = nx, QntY = ny, QntX2 = nx + 2, QntY2 = ny + 2, delX = dx, delY = dy;
    Xmax = float(double(nx) * dx), Ymax = float(double(ny) * dy);
    store.assign(size_t(QntX2) * QntY2 + 128, kNaN);
    array = store.data() + 64;
    for (uint32_t j = 0; j < QntY2; ++j)
        for (uint32_t i = 0; i < QntX2; ++i)
            Cell(i, j) = sample(std::clamp(i, 1u, nx), std::clamp(j, 1u, ny));
}
float Bumpy(uint32_t i, uint32_t j) {
    return float(5 + 4 * std::sin(i * 0.7) * std::cos(j * 0.45) + 0.01 * i * j);
}

// The byte conversion truncates toward zero to 64 bits and wraps; the palette byte for byte, also
// just below the thresholds and wrapped outside [0, 1].
TEST(ColourTest, BytesAndRamps) {
    for (auto [v, byte] : {std::pair{255.9, 255},
                           {-0.5, 0},
                           {-1.5, 255},
                           {4294967552.9, 0},
                           {-0x1p50 - 77.25, 179},
                           {0x1p63, 0}})
        EXPECT_EQ(ByteOf(v), byte) << v;
    const struct {
        float q;
        int r, g, b;
    } ramps[] = {{0.0f, 255, 0, 0},          {0.1f, 255, 127, 0},        {0.2f, 254, 255, 0},
                 {0.3f, 191, 255, 0},        {0.4f, 127, 255, 0},        {0.5f, 63, 255, 127},
                 {0.6f, 0, 254, 255},        {0.7f, 0, 191, 255},        {0.8f, 0, 127, 254},
                 {0.9f, 0, 63, 191},         {1.0f, 0, 0, 128},          {-0.1f, 255, 129, 0},
                 {-0.5f, 255, 131, 0},       {1.2f, 0, 129, 0},          {1.3f, 0, 65, 194},
                 {1.5f, 0, 194, 67},         {0.19999999f, 255, 254, 0}, {0.39999998f, 127, 255, 0},
                 {0.59999996f, 0, 255, 254}, {0.79999995f, 0, 127, 255}, {-1e30f, 255, 0, 0},
                 {1234567.75f, 0, 113, 66}};
    for (const auto& c : ramps)
        EXPECT_EQ(MakeColour(fRed(c.q), fGreen(c.q), fBlue(c.q)), MakeColour(c.r, c.g, c.b));
}

// Field colour cases: both modes, clipping, Fmax below Fmin, wrapping beyond 32 bits, F10.
const struct {
    Scale s;
    float FF;
    int r, g, b;
} kFieldCases[] = {
    {kRainbowClip, -1e-45f, 0, 0, 128},
    {kRainbowClip, 10.5f, 255, 0, 0},
    {kRainbowClip, 10, 255, 0, 0},
    {kRainbowClip, 0, 0, 0, 128},
    {kRainbowClip, 5, 63, 255, 127},
    {kRainbow, -2, 0, 129, 0},
    {kRainbow, 12, 255, 1, 0},
    {kTwo, -5, 129, 0, 126},
    {kTwo, 5, 127, 0, 127},
    {kTwoClip, -5, 0, 0, 255},
    {kTwoClip, 15, 255, 0, 0},
    {kRevClip, 5, 1, 3, 5},
    {{0, 10, 300, 0, 0, 0, 0, 0, 1, 0}, -1, 44, 0, 0},
    {kRevClip, 10, 2, 4, 6},
    {kRevClip, 20, 2, 4, 6},
    {kRev, 5, 50, 0, 0},
    {kWide, 37.3f, 5, 0, 0},
    {kWide, -37.3f, 251, 0, 0},
    {kUnit, -1234566.75f, 0, 113, 66},
    {kUnit, -2e16f, 0, 0, 128},
    {kUnit, 2e16f, 255, 0, 0},
    {kTiny, 1e30f, 255, 0, 0},
    {kTiny, -1e30f, 0, 0, 128},
    {kRainbowClip, kNaN, 192, 192, 192},
    {kRainbow, kNaN, 192, 192, 192},
    {kTwoClip, kNaN, 192, 192, 192},
    {kTwo, kNaN, 192, 192, 192},
    {kRainbow, kInf, 255, 0, 0},
    {kRainbow, -kInf, 0, 0, 128},
    {kTwo, kInf, 255, 0, 0},
    {kTwo, -kInf, 0, 0, 255},
    {kTwoClip, -kInf, 0, 0, 255},
    {kRevRainbow, kInf, 0, 0, 128},
    {kRevRainbow, -kInf, 255, 0, 0},
    {kRev, -kInf, 100, 0, 0},
    {kNeg, -0.2f, 254, 255, 0},
    {kNeg, -0.19999999f, 255, 254, 0},
    {kNeg, -0.59999996f, 0, 255, 254},
    {kNeg, -0.8f, 0, 127, 254},
    {{5, 5, 1, 2, 3, 4, 5, 6, 0, 1}, 4.9f, 0, 0, 128},
    {{-3.5f, 7.25f, -20, 300, 511, -4, 17, 17, 1, 0}, 1, 113, 39, 17},
    {{-1e38f, 3e38f, 0, 255, 0, 0, 255, 0, 0, 1}, 0, 255, 0, 0},
    {{0, 1, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, 0, 1000000000, 0, 0}, 0.5f, 0, 255, 0}};

// The field colour rule, F9 (Fmax equal to Fmin: below it the low end, all else the high end); the
// band's end columns.
TEST(ColourTest, FieldAndBandColourRules) {
    for (const auto& c : kFieldCases) {
        Apply(c.s);
        EXPECT_EQ(FieldColour(c.FF), MakeColour(c.r, c.g, c.b))
            << c.FF << " over " << Fmin << ".." << Fmax;
    }
    for (int mode = 0; mode < 4; ++mode) {
        Apply({3, 3, 10, 20, 30, 40, 50, 60, uint8_t(mode % 2), uint8_t(mode / 2)});
        const Colour low = color ? 0x800000 : MakeColour(10, 30, 50),
                     high = color ? 0xFF : MakeColour(20, 40, 60);
        for (float FF : {2.0f, std::nextafter(3.0f, 0.0f), -kInf})
            EXPECT_EQ(FieldColour(FF), low) << FF;
        for (float FF : {3.0f, 4.0f, kInf}) EXPECT_EQ(FieldColour(FF), high) << FF;
        EXPECT_EQ(FieldColour(kNaN), kLightGrey);
    }
    Apply(kRainbowClip);
    EXPECT_EQ(BandColour(11, 10, 110, 100), MakeColour(0, 6, 134));
    EXPECT_EQ(BandColour(109, 10, 110, 100), MakeColour(255, 12, 0));
    Apply({5, 5, 0, 255, 0, 100, 0, 200, 1, 0});  // the first q is 0.01f, just below 0.01
    EXPECT_EQ(BandColour(11, 10, 110, 100), MakeColour(2, 0, 1));
    EXPECT_EQ(BandColour(109, 10, 110, 100), MakeColour(252, 99, 198));
}

// FieldRow equals FieldColour bit for bit over every scale of the cases above, for values near the
// scale, the cases' own values and random bit patterns, at every alignment.
TEST(ColourTest, FieldRowMatchesFieldColour) {
    std::mt19937 rng(12345);
    std::uniform_real_distribution<float> near(-15.0f, 20.0f);
    std::vector<float> ff(4099);
    std::vector<uint32_t> px(ff.size() + 1);
    for (const auto& c : kFieldCases) {
        Apply(c.s);
        for (float& v : ff) {
            const uint32_t r = rng();
            if (r % 4 != 0)
                v = near(rng);
            else if (r % 8 == 0)
                v = kFieldCases[(r >> 8) % std::size(kFieldCases)].FF;
            else
                std::memcpy(&v, &r, sizeof v);
        }
        for (int start : {0, 1, 3}) {
            const int n = int(ff.size()) - start;
            px[n] = 0xDEADBEEF;
            FieldRow(ff.data() + start, px.data(), n);
            for (int k = 0; k < n; ++k)
                ASSERT_EQ(px[k], PixelOf(FieldColour(ff[start + k]))) << ff[start + k];
            EXPECT_EQ(px[n], 0xDEADBEEFu);
        }
    }
}

// The row pass around every colour step of several scales (each step found by bisection on the
// rule), 64 floats either side, and on a dense run across the scale and beyond; some scales put
// several steps close together.
TEST(ColourTest, FieldRowMatchesFieldColourAroundEveryStep) {
    const Scale scales[] = {kRainbowClip,
                            kRevRainbow,
                            {-10, 10, 0, 0, 0, 0, 0, 0, 0, 1},
                            kTwoClip,
                            kRev,
                            kWide,
                            {-3.5f, 7.25f, -20, 300, 511, -4, 17, 17, 0, 0},
                            {0, 1, 0, 2100, 0, 1000, 0, 1001, 1, 0}};
    std::vector<float> ff;
    std::vector<uint32_t> px;
    for (const auto& s : scales) {
        Apply(s);
        const float lo = std::fmin(Fmin, Fmax), span = std::fabs(dFF);
        ff.clear();
        for (float a = lo - span / 8, step = span / 40000; a < lo + span * 1.125f; a += step) {
            ff.push_back(a);
            float l = a, h = a + step;  // the colour changes between l and h: bisect to the step's
                                        // first float h
            if (FieldColour(l) == FieldColour(h)) continue;
            for (float m = l + (h - l) / 2; m != l && m != h; m = l + (h - l) / 2)
                (FieldColour(m) == FieldColour(l) ? l : h) = m;
            int32_t bits;
            std::memcpy(&bits, &h, sizeof bits);
            for (int32_t j = bits - 64; j <= bits + 64; ++j)
                ff.push_back(0), std::memcpy(&ff.back(), &j, sizeof j);
        }
        px.assign(ff.size(), 0);
        FieldRow(ff.data(), px.data(), int(ff.size()));
        for (size_t k = 0; k < ff.size(); ++k)
            ASSERT_EQ(px[k], PixelOf(FieldColour(ff[k]))) << ff[k] << " from " << Fmin;
    }
}

// The row pass forms q by reciprocal; where that rounds to another float than the division (the
// exact quotient half-way between two floats) it must still give the division's colour. A
// two-colour scale 2^30 wide turns one float step of q into a change of red.
TEST(ColourTest, FieldRowRoundsQuotientTiesLikeTheDivision) {
    const struct {
        float fmin, ff, dff;
    } ties[] = {{-0x1.24924ap-3f, 0x1.1a232p+5f, 0x1.34p+6f},
                {-0x1.b6db6ep-2f, 0x1.16668p+5f, 0x1.88p+5f},
                {-0x1.24924ap-3f, 0x1.17f562p+5f, 0x1.74p+6f},
                {-0x1.24924ap-3f, 0x1.0fc41ap+5f, 0x1.a4p+7f}};
    for (const auto& t : ties) {
        Apply({t.fmin, t.fmin + t.dff, 0, 1 << 30, 0, 0, 0, 0, 0, 0});
        dFF = t.dff;
        const double num = double(t.ff) - t.fmin;
        ASSERT_NE(float(num * (1.0 / t.dff)), float(num / t.dff));  // a real tie-breaker
        const float row[4] = {t.ff, t.ff, t.ff, t.ff};
        uint32_t px[4];
        FieldRow(row, px, 4);
        EXPECT_EQ(px[2], PixelOf(FieldColour(t.ff))) << t.ff;
    }
}

// The interpolation as written, one point at a time, for 0 <= qx < QntX, 0 <= qy < QntY.
float Direct(float qx, float qy) {
    const uint32_t i = uint32_t(qx + 1.0), j = uint32_t(qy + 1.0);
    const float ox = float(qx - (float(int32_t(qx)) + 0.5)),
                oy = float(qy - (float(int32_t(qy)) + 0.5));
    const float _05q = float(0.5 * ox), _05q_1 = float(_05q - 1.0), _1_q = float(1.0 - ox),
                q_1 = float(1.0 + ox);
    float f[3];
    for (uint32_t r = j - 1; r <= j + 1; ++r)
        f[r - j + 1] = float(((_05q_1 * double(Cell(i - 1, r)) + _1_q * double(Cell(i, r))) +
                              _05q * double(Cell(i + 1, r))) *
                                 q_1 +
                             Cell(i - 1, r));
    return float((((0.5 * oy - 1.0) * f[0] + (1.0 - oy) * f[1]) + (0.5 * oy) * f[2]) * (oy + 1.0) +
                 f[0]);
}

// Exact at cell centres; quadratic rows reproduced off the border and broken by the ghost copy in
// the outer cells; one ghost cell feeds exactly the outer cells whose stencil reads it; F11: a
// point on the far edge (or beyond) uses the last cell, one before the near edge the first, and
// nothing outside the block is read.
TEST(InterpTest, CentresQuadraticsGhostBorderAndEdges) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
    SetGrid(9, 6, [&](uint32_t, uint32_t) { return value(rng); });
    for (uint32_t j = 1; j <= QntY; ++j)
        for (uint32_t i = 1; i <= QntX; ++i)
            EXPECT_EQ(Interpolate(i - 0.5f, j - 0.5f), Cell(i, j)) << i << "," << j;
    auto P = [](double t) { return 0.75 * t * t - 3.0 * t + 2.0; };
    for (bool alongX : {true, false}) {
        SetGrid(8, 8, [&](uint32_t i, uint32_t j) { return float(P((alongX ? i : j) - 0.5)); });
        for (float t = 0.0f; t < 8.0f; t += 0.125f) {
            const double err =
                std::fabs((alongX ? Interpolate(t, 3.3f) : Interpolate(5.6f, t)) - P(t));
            EXPECT_EQ(err < 1e-4, (t >= 1.0f && t < 7.0f) || t - std::floor(t) == 0.5f)
                << t << " x " << alongX << " " << err;
        }
    }
    const struct {
        uint32_t gi, gj;
        float qx, qy;
        bool changes;
    } ghosts[] = {
        {0, 2, 0.25f, 1.75f, true},  {0, 2, 1.25f, 1.75f, false}, {6, 2, 4.75f, 1.75f, true},
        {6, 2, 3.75f, 1.75f, false}, {2, 0, 1.75f, 0.25f, true},  {2, 0, 1.75f, 1.25f, false},
        {2, 5, 1.75f, 3.75f, true},  {2, 5, 1.75f, 2.75f, false}, {6, 5, 4.9f, 3.9f, true}};
    for (const auto& c : ghosts) {
        SetGrid(5, 4, [](uint32_t i, uint32_t j) { return float(i * i + 3 * j); });
        const float before = Interpolate(c.qx, c.qy);
        Cell(c.gi, c.gj) += 100.0f;
        EXPECT_EQ(Interpolate(c.qx, c.qy) != before, c.changes) << c.gi << "," << c.gj;
    }
    SetGrid(4, 3, [](uint32_t i, uint32_t j) { return float(i * j) - 0.5f * float(i * i); });
    const float X = std::nextafter(4.0f, 0.0f), Y = std::nextafter(3.0f, 0.0f);
    const struct {
        float qx, qy, nearX, nearY;
    } edges[] = {{1.3f, 3, 1.3f, Y},
                 {4, 2.2f, X, 2.2f},
                 {4, 3, X, Y},
                 {-1e-7f, 1.5f, 0, 1.5f},
                 {2.5f, -1e-7f, 2.5f, 0}};
    for (const auto& c : edges)
        EXPECT_NEAR(Interpolate(c.qx, c.qy), Interpolate(c.nearX, c.nearY), 1e-4)
            << c.qx << "," << c.qy;
    EXPECT_TRUE(RowWeights(3.0f).j == 3u && RowWeights(3.0f).qy == 0.5f);
    for (float a : {-5.0f, 7.0f, -1e30f, 1e30f, kInf, kNaN}) {
        EXPECT_TRUE(ColumnWeights(a).i >= 1 && ColumnWeights(a).i <= QntX && RowWeights(a).j >= 1 &&
                    RowWeights(a).j <= QntY);
        EXPECT_TRUE(!(std::fabs(a) < 10.0f) ||
                    !std::isnan(Interpolate(a, 1.5f) + Interpolate(1.5f, a)))
            << a;
    }
}

// Interpolate, and the split form as the paint pass uses it (x weights per column, row results per
// column and cell row, AlongY per pixel), equal the direct evaluation bit for bit over many random
// grids and points.
TEST(InterpTest, SplitFormMatchesDirectEvaluation) {
    std::mt19937 rng(2024);
    std::uniform_int_distribution<uint32_t> size(1, 13);
    std::uniform_real_distribution<float> value(-50.0f, 80.0f);
    auto same = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    for (int grid = 0; grid < 150; ++grid) {
        const float scale = std::ldexp(1.0f, int(size(rng)) - 7);
        const uint32_t nx = size(rng), ny = size(rng);
        SetGrid(nx, ny, [&](uint32_t, uint32_t) { return value(rng) * scale; });
        const float kx = nx / (7.0f + grid % 41),
                    ky = ny / (3.0f + grid % 37);  // some on cell edges
        std::vector<XWeights> cols;
        for (int c = 1; c * kx < nx; ++c) cols.push_back(ColumnWeights(c * kx));
        std::vector<float> f(3 * cols.size());
        for (int r = 1; r * ky < ny; ++r) {
            const YWeights yw = RowWeights(r * ky);
            for (size_t c = 0; c < cols.size() && (r == 1 || yw.j != RowWeights((r - 1) * ky).j);
                 ++c)
                for (int k = 0; k < 3; ++k)
                    f[3 * c + k] = AlongX(cols[c], array + (yw.j - 1 + k) * QntX2);
            for (size_t c = 0; c < cols.size(); ++c) {
                const float want = Direct((c + 1) * kx, r * ky);
                ASSERT_TRUE(same(AlongY(yw, f[3 * c], f[3 * c + 1], f[3 * c + 2]), want) &&
                            same(Interpolate((c + 1) * kx, r * ky), want));
            }
        }
    }
}

void SetDisplay(uint8_t mode, uint8_t clip = 0, uint32_t band = 20, uint32_t xm = 30,
                uint32_t ym = 10) {
    Apply({1, 9, 10, 250, 200, 20, 0, 255, clip, mode});
    Band = band, Xmargin = xm, Ymargin = ym;
    std::strcpy(Label, "Pressure");
}

// An image with 64 guard pixels either side that every paint must leave alone; Rectangle and
// SetPixel as the plain rendering uses them, one pixel at a time.
struct Image {
    int64_t w, h;
    std::vector<uint32_t> buf;
    Image(int w_, int h_) : w(w_), h(h_), buf(size_t(w_) * size_t(h_) + 128, 0xDEADBEEFu) {}
    uint32_t* px() { return buf.data() + 64; }
    void set(int64_t x, int64_t y, uint32_t v) {
        if (x >= 0 && y >= 0 && x < w && y < h) px()[y * w + x] = v;
    }
    void rect(int64_t l, int64_t t, int64_t r, int64_t b) {
        if (l > r) std::swap(l, r);
        if (t > b) std::swap(t, b);
        for (int64_t y = t; y < b; ++y)
            for (int64_t x = l; x < r; ++x)
                set(x, y, (x == l || x == r - 1 || y == t || y == b - 1) ? 0 : 0xFFFFFF);
    }
};

// The paint equals the plain rendering: positions start + n taken in double, Interpolate and the
// colour rules per pixel.
void ExpectSameAsReference(const Layout& L, const char* what) {
    Image got(L.width, L.height), im(L.width, L.height);
    PaintClient(L, got.px());
    std::fill(im.px(), im.px() + size_t(im.w * im.h), 0xC0C0C0u);
    const DrawingBox &f = L.field, &b = L.band;
    if (L.hasField) {
        im.rect(int64_t(f.xstart), int64_t(f.ystart), int64_t(f.xend), int64_t(double(f.yend) + 1));
        for (int n = 1; double(f.ystart) + n < f.yend; ++n)
            for (int m = 1; double(f.xstart) + m < double(f.xend) - 1; ++m)
                im.set(int64_t(double(f.xstart) + m), int64_t(double(f.ystart) + n),
                       PixelOf(FieldColour(Interpolate(float(m * double(L.k_norm_x)),
                                                       float(n * double(L.k_norm_y))))));
    }
    if (L.hasBand) {
        im.rect(int64_t(b.xstart), int64_t(b.ystart), int64_t(b.xend), int64_t(b.yend));
        for (double x = b.xstart + 1.0; x < double(b.xend) - 1; x += 1)
            for (double y = b.ystart + 1.0; y < double(b.yend) - 1; y += 1)
                im.set(int64_t(x), int64_t(y),
                       PixelOf(BandColour(float(x), b.xstart, b.xend, b.xend - b.xstart)));
    }
    ASSERT_TRUE(got.buf == im.buf) << what << " " << L.width << "x" << L.height;
}

// The three texts, each as "x,y text".
string Texts(const Layout& L) {
    string s;
    for (const PaintText& t : L.texts)
        s += std::to_string(t.x) + "," + std::to_string(t.y) + " " + string(t.str, t.count) + "|";
    return s.substr(0, L.textCount ? s.size() - 1 : 0);
}

// The worked layouts in a client of w × 300, cells 10 high: k_norm, field box, band box, texts and
// every pixel; F12: row 64 of "float fidelity" is painted like its neighbours although ystart
// is 29.999996; F13: end values whole.
TEST(PaintLayout, WorkedLayouts) {
    const struct {
        const char* name;
        uint32_t nx, ny;
        float dx;
        int w;
        std::vector<float> boxes;
        int highX;
    } layouts[] = {
        {"worked", 13, 13, 10, 400, {0.5f, 70, 330, 0, 260, 30, 370, 270, 290}, 365},
        {"401 wide", 13, 13, 10, 401, {0.5f, 70.5f, 330.5f, 0, 260, 30, 371, 270, 290}, 366},
        {"width binds", 20, 10, 10, 400, {0.5f, 0, 400, 30, 230, 30, 370, 270, 290}, 365},
        {"start 70.25",
         3,
         13,
         43.25f,
         400,
         {0.5f, 70.25f, 329.75f, 0, 260, 30, 370, 270, 290},
         365},
        {"start 70.75",
         11,
         13,
         11.75f,
         400,
         {0.5f, 70.75f, 329.25f, 0, 260, 30, 370, 270, 290},
         365},
        {"float fidelity",
         26,
         13,
         10,
         400,
         {0.65f, 0, 400, 29.999996f, 230, 30, 370, 270, 290},
         365}};
    SetDisplay(1, 1);
    for (const auto& c : layouts) {
        SetGrid(c.nx, c.ny, Bumpy, c.dx, 10);
        const Layout L = ComputeLayout(c.w, 300);
        const DrawingBox &f = L.field, &b = L.band;
        EXPECT_TRUE(L.hasField && L.hasBand) << c.name;
        EXPECT_EQ((std::vector<float>{L.k_norm, f.xstart, f.xend, f.ystart, f.yend, b.xstart,
                                      b.xend, b.ystart, b.yend}),
                  c.boxes)
            << c.name;
        EXPECT_EQ(Texts(L), "200,250 Pressure|25,294 1.00|" + std::to_string(c.highX) + ",294 9.00")
            << c.name;
        ExpectSameAsReference(L, c.name);
    }
    SetGrid(4, 13, Bumpy, 10, 2);  // Xmax / 400 and Ymax / 260: the same double, not a float
    const Layout L = ComputeLayout(400, 300);
    EXPECT_TRUE(L.field.ystart == 0 && L.field.yend == 260 && L.field.xstart > 0)
        << "A = B takes the height branch";
    const struct {
        float lo, hi;
        const char *low, *high;
    } ends[] = {{12.5f, -1, " 12.50|", " -1.00"},
                {12345, 0.125f, " 12345.00|", " 0.12"},
                {-kInf, kInf, " -inf|", "  inf"},
                {3.4e38f, 0, " 339999995214436424907732413799364296704.00|", " 0.00"}};
    for (const auto& c : ends) {
        Fmin = c.lo, Fmax = c.hi;
        EXPECT_THAT(Texts(ComputeLayout(400, 300)),
                    testing::AllOf(testing::HasSubstr(c.low), testing::EndsWith(c.high)));
    }
}

// F14 and whole images: degenerate clients draw only what is defined; every small client in every
// mode, huge settings and boxes placed by hand or at random paint what the plain rendering paints,
// inside the image.
TEST(PaintImage, SameAsPlainPerPixelRendering) {
    SetGrid(13, 13, Bumpy);
    SetDisplay(1);
    const struct {
        int w, h;
        bool field, band;
    } flags[] = {
        {0, 0, false, false},   {0, 300, false, false}, {400, 40, false, true},
        {20, 300, true, false}, {400, 25, true, false}, {1, 1, true, false},
        {35, 300, true, true},  {400, 35, true, true}};  // width 0, maxy 0, narrow, low, tiny, band
                                                         // box inverted, maxy below 0
    for (const auto& c : flags) {
        const Layout L = ComputeLayout(c.w, c.h);
        EXPECT_TRUE(L.hasField == c.field && L.hasBand == c.band && L.textCount == (c.band ? 3 : 0))
            << c.w << "x" << c.h;
    }
    Image big(8192, 8192);
    PaintClient(ComputeLayout(8192, 8192), big.px());
    EXPECT_EQ(std::count(big.buf.begin(), big.buf.end(), 0xDEADBEEFu), 128);
    for (float d : {1e38f, 1e-44f}) {  // Xmax overflows; k_norm_x overflows
        SetGrid(13, 13, Bumpy, d, 10);
        EXPECT_FALSE(ComputeLayout(400, 300).hasField) << d;
    }
    SetGrid(13, 13, Bumpy, 1e-45f, 1e-45f);  // k_norm rounds to 0: no box, no division by it
    EXPECT_FALSE(ComputeLayout(400, 300).hasField);
    SetDisplay(2, 0, 4000000000u, 3000000000u, 4000000000u);  // nothing may wrap
    for (int s : {0, 1, 50, 300}) ExpectSameAsReference(ComputeLayout(s, s), "huge settings");
    SetGrid(7, 5, Bumpy, 3, 2.5f);
    for (int mode = 0; mode < 4; ++mode) {
        SetDisplay(uint8_t(1 + mode / 2), uint8_t(mode % 2), 6, 5, 3);
        for (int w = 0; w <= 48; ++w)
            for (int h = 0; h <= 48; ++h) ExpectSameAsReference(ComputeLayout(w, h), "small");
    }
    Layout L = ComputeLayout(60, 50);
    const DrawingBox hand[] = {{-2.25f, 41.5f, -3.5f, 20.25f},
                               {0.3f, 33, -0.7f, 44.9f},
                               {-0.0009765625f, 59.75f, 0.5f, 39}};
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(-30, 70);
    for (int t = 0; t < 303;
         ++t) {  // fractional and negative starts, grid coordinates beyond the grid
        const float x = d(rng), y = d(rng);
        L.field = t < 3 ? hand[t] : DrawingBox{x, x + std::fabs(d(rng)), y, y + std::fabs(d(rng))};
        ExpectSameAsReference(L, "by hand or random");
    }
    L.field = {-0x1p-60f, 20, 0x1p-60f,
               10};  // starts 2^-60 off whole numbers: columns 0..18, rows 1..9, none lost
    Image im(60, 50);
    PaintClient(L, im.px());
    auto coloured = [](uint32_t p) { return p != 0 && p != 0xFFFFFF && p != 0xC0C0C0; };
    EXPECT_TRUE(std::count_if(im.px(), im.px() + 20 * 60, coloured) == 19 * 9 &&
                coloured(im.px()[60]) && coloured(im.px()[558]));
}

}  // namespace
