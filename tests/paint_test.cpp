// The paint pass: layouts, texts, degenerate clients, and pictures against the plain rendering.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "plain_paint.h"
#include "render/field_row.h"
#include "render/position_runs.h"
#include "test_support.h"

namespace quorlane {

namespace {

using std::string;
const float kInf = INFINITY;

float Bumpy(uint32_t i, uint32_t j) {
    return float(5 + 4 * std::sin(i * 0.7) * std::cos(j * 0.45) + 0.01 * i * j);
}

// A scale from 1 to 9 in the given palette, with the given band geometry and caption "Pressure".
DisplaySettings Display(uint8_t palette, uint8_t clipping = 0, uint32_t bandHeight = 20,
                        uint32_t bandSideGap = 30, uint32_t bandStrip = 10) {
    const DisplaySettings scale = TwoColourScale(1, 9, {10, 200, 0}, {250, 20, 255});
    return WithBand(WithSwitches(scale, clipping, palette), bandHeight, bandSideGap, bandStrip);
}

// The paint equals the plain one on one thread and on all, padded or not, and stays inside.
void ExpectSameAsPlain(const Grid& g, const FieldRowPainter& painter, const Layout& L,
                       const char* what) {
    const DisplaySettings& s = painter.Settings();
    Image want(L.width, L.height, 3);
    PaintPlainly(g, s, L, want);
    for (auto [threads, pad] : {std::pair{1u, 0}, {0u, 3}}) {
        Image got(L.width, L.height, pad);
        PaintClient(g, painter, L, got.Target(), TestPool(), threads);
        bool same = true;
        for (int64_t y = 0; y < L.height && same; ++y)
            same = std::equal(&got.At(0, y), &got.At(0, y) + L.width, &want.At(0, y));
        const int64_t untouched = std::count(got.buf.begin(), got.buf.end(), kUntouched);
        ASSERT_TRUE(same && untouched == 128 + pad * L.height)
            << what << " " << L.width << "x" << L.height << " threads " << threads << " pad "
            << pad;
    }
}

// A box as "x xstart..xend, y ystart..yend", each number in its shortest exact form.
string Box(const DrawingBox& d) {
    const auto num = [](float v) {
        char b[24];
        return string(b, std::to_chars(b, b + sizeof b, v).ptr);
    };
    return "x " + num(d.xstart) + ".." + num(d.xend) + ", y " + num(d.ystart) + ".." + num(d.yend);
}

// The three texts, each as "x,y text".
string Texts(const Layout& L) {
    string s;
    for (int k = 0; k < L.textCount; ++k) {
        const PaintText& t = L.texts[k];
        s += (k ? "|" : "") + std::to_string(t.x) + "," + std::to_string(t.y) + " " +
             string(t.str, size_t(t.count));
    }
    return s;
}

// The worked layouts in a client of w × 300, cells 10 high, to every pixel. In "float fidelity"
// ystart is 29.999996: row 64 must be painted, not skipped by a step from 63.999996 to 65.
TEST(PaintLayout, WorkedLayouts) {
    const struct {
        const char* name;
        uint32_t columns, rows;
        float cellWidth;
        int width;
        float worldPerPixel;
        const char* field;  // as Box() gives it; the band spans x 30..width-30
    } layouts[] = {
        {"worked", 13, 13, 10, 400, 0.5f, "x 70..330, y 0..260"},
        {"401 wide", 13, 13, 10, 401, 0.5f, "x 70.5..330.5, y 0..260"},
        {"width binds", 20, 10, 10, 400, 0.5f, "x 0..400, y 30..230"},
        {"start 70.25", 3, 13, 43.25f, 400, 0.5f, "x 70.25..329.75, y 0..260"},
        {"start 70.75", 11, 13, 11.75f, 400, 0.5f, "x 70.75..329.25, y 0..260"},
        {"float fidelity", 26, 13, 10, 400, 0.65f, "x 0..400, y 29.999996..230"},
    };
    const DisplaySettings s = Display(1, 1);
    const FieldRowPainter painter(s);
    for (const auto& c : layouts) {
        const Grid g = MakeGrid(c.columns, c.rows, Bumpy, c.cellWidth, 10);
        const Layout L = ComputeLayout(g, s, c.width, 300);
        EXPECT_TRUE(L.hasField && L.hasBand) << c.name;
        EXPECT_EQ(L.worldPerPixel, c.worldPerPixel) << c.name;
        EXPECT_EQ(Box(L.field), c.field) << c.name;
        EXPECT_EQ(Box(L.band), "x 30.." + std::to_string(c.width - 30) + ", y 270..290") << c.name;
        EXPECT_EQ(Texts(L),
                  "200,250 Pressure|25,294 1.00|" + std::to_string(c.width - 35) + ",294 9.00")
            << c.name;
        ExpectSameAsPlain(g, painter, L, c.name);
    }
    // fieldWidth / 400 and fieldHeight / 260 are the same double, but not a float.
    const Layout tie = ComputeLayout(MakeGrid(4, 13, Bumpy, 10, 2), s, 400, 300);
    EXPECT_TRUE(tie.field.ystart == 0 && tie.field.yend == 260 && tie.field.xstart > 0)
        << "equal scales take the height branch";
}

// End values cut to four characters: each is drawn whole, however long.
TEST(PaintLayout, EndValuesAreDrawnWhole) {
    const struct {
        float scaleMin, scaleMax;
        const char *low, *high;
    } ends[] = {
        {12.5f, -1, " 12.50|", " -1.00"},
        {12345, 0.125f, " 12345.00|", " 0.12"},
        {-kInf, kInf, " -inf|", "  inf"},
        {3.4e38f, 0, " 339999995214436424907732413799364296704.00|", " 0.00"},
    };
    const Grid g = MakeGrid(13, 13, Bumpy);
    for (const auto& c : ends) {
        DisplaySettings s = Display(1);
        s.scaleMin = c.scaleMin, s.scaleMax = c.scaleMax;
        EXPECT_THAT(Texts(ComputeLayout(g, s, 400, 300)),
                    testing::AllOf(testing::HasSubstr(c.low), testing::EndsWith(c.high)));
    }
}

// Degenerate clients, and scale factors that overflow or round to 0, draw only what is defined.
TEST(PaintLayout, DegenerateClientsDrawOnlyWhatIsDefined) {
    const Grid g = MakeGrid(13, 13, Bumpy);
    const DisplaySettings s = Display(1);
    const struct {
        int width, height;
        bool field, band;
    } clients[] = {
        // nothing, width 0, room height 0, narrower than the band's side gap, lower than the band
        // and its strip, tiny, band box inverted, room height below 0
        {0, 0, false, false},   {0, 300, false, false}, {400, 40, false, true},
        {20, 300, true, false}, {400, 25, true, false}, {1, 1, true, false},
        {35, 300, true, true},  {400, 35, true, true},
    };
    for (const auto& c : clients) {
        const Layout L = ComputeLayout(g, s, c.width, c.height);
        EXPECT_EQ(L.hasField, c.field) << c.width << "x" << c.height;
        EXPECT_EQ(L.hasBand, c.band) << c.width << "x" << c.height;
        EXPECT_EQ(L.textCount, c.band ? 3 : 0) << c.width << "x" << c.height;
    }
    const Grid huge = MakeGrid(13, 13, Bumpy, 1e38f, 10);            // fieldWidth overflows
    const Grid tiny = MakeGrid(13, 13, Bumpy, 1e-44f, 10);           // cells per pixel overflow
    const Grid vanishing = MakeGrid(13, 13, Bumpy, 1e-45f, 1e-45f);  // the scale rounds to 0
    for (const Grid* grid : {&huge, &tiny, &vanishing})
        EXPECT_FALSE(ComputeLayout(*grid, s, 400, 300).hasField);
    // A box whose top lands exactly on -2^31: beyond the surface's coordinates.
    const DisplaySettings tallBand = WithBand(s, 4294967295u, 0, 0);
    EXPECT_FALSE(ComputeLayout(MakeGrid(1, 1, Bumpy, 400, 1), tallBand, 400, 0).hasField);
    EXPECT_FALSE(ComputeLayout(Grid(), s, 400, 300).hasField) << "no grid loaded";
    PaintClient(g, FieldRowPainter(s), ComputeLayout(g, s, 400, 300), {nullptr, 400}, TestPool());
    Image flat(400, 0);  // a client without rows: nothing is written
    PaintClient(g, FieldRowPainter(s), ComputeLayout(g, s, 400, 0), flat.Target(), TestPool());
    EXPECT_EQ(std::count(flat.buf.begin(), flat.buf.end(), kUntouched), 128);
}

// Small clients in every mode, huge settings, a very large client, and field boxes by hand or at
// random (fractional, negative, beyond the grid) paint what the plain rendering paints.
TEST(PaintImage, SameAsPlainPerPixelRendering) {
    const Grid g = MakeGrid(13, 13, Bumpy);
    const DisplaySettings hugeBand = Display(2, 0, 4000000000u, 3000000000u, 4000000000u);
    for (int side : {0, 1, 50, 300})
        ExpectSameAsPlain(g, FieldRowPainter(hugeBand), ComputeLayout(g, hugeBand, side, side),
                          "huge settings");

    Image big(8192, 8192);
    const DisplaySettings rainbow = Display(1);
    const FieldRowPainter rainbowPainter(rainbow);
    PaintClient(g, rainbowPainter, ComputeLayout(g, rainbow, 8192, 8192), big.Target(), TestPool());
    EXPECT_EQ(std::count(big.buf.begin(), big.buf.end(), kUntouched), 128);

    const Grid small = MakeGrid(7, 5, Bumpy, 3, 2.5f);
    for (uint8_t palette : {1, 2}) {
        for (uint8_t clipping : {0, 1}) {
            const DisplaySettings s = Display(palette, clipping, 6, 5, 3);
            const FieldRowPainter painter(s);
            for (int w = 0; w <= 48; ++w)
                for (int h = 0; h <= 48; ++h)
                    ExpectSameAsPlain(small, painter, ComputeLayout(small, s, w, h), "small");
        }
    }

    Layout L = ComputeLayout(small, rainbow, 260, 200);
    const DrawingBox byHand[] = {
        {-2.25f, 41.5f, -3.5f, 20.25f},
        {0.3f, 33, -0.7f, 44.9f},
        {-0.0009765625f, 59.75f, 0.5f, 39},
    };
    for (const DrawingBox& box : byHand) {
        L.field = box;
        ExpectSameAsPlain(small, rainbowPainter, L, "by hand");
    }
    // Wider than the columns painted at once: the runs of columns meet without a seam.
    Layout wide = ComputeLayout(small, rainbow, 40000, 7);
    wide.hasField = true;
    wide.field = {-1.5f, 39990.25f, 0.5f, 6};
    wide.cellsPerPixelX = 7.0f / 40000, wide.cellsPerPixelY = 0.75f;
    ExpectSameAsPlain(small, rainbowPainter, wide, "wide");
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> d(-30, 270);
    for (int t = 0; t < 100; ++t) {
        const float x = d(rng), y = d(rng);
        L.field = DrawingBox{x, x + std::fabs(d(rng)), y, y + std::fabs(d(rng))};
        ExpectSameAsPlain(small, rainbowPainter, L, "at random");
    }
}

// Stop test and step pixels against plain arithmetic, on a 2^-8 grid where sums are exact.
TEST(PaintImage, StopTestIsTheExactComparison) {
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> units(-4096, 4096);
    for (int t = 0; t < 20000; ++t) {
        const float s = float(units(rng)) / 256, e = float(units(rng)) / 256;
        const int64_t c = t % 2, n0 = int64_t(std::floor(e)) - c - int64_t(std::floor(s));
        for (int64_t n = n0 - 2; n <= n0 + 2; ++n) {
            EXPECT_EQ(Before(SplitStart(s), n, SplitStart(e), c), double(s) + n < double(e) - c)
                << s << " + " << n << " < " << e << " - " << c;
            EXPECT_EQ(PixelOfStep(SplitStart(s), n), int64_t(double(s) + n)) << s << " + " << n;
        }
    }
}

// Starts 2^-60 off a whole number (lost by a float stepped by 1): columns 0..18, rows 1..9 painted.
TEST(PaintImage, StartsJustOffWholeNumbersLoseNothing) {
    const Grid g = MakeGrid(7, 5, Bumpy, 3, 2.5f);
    const DisplaySettings s = Display(1, 0, 6, 5, 3);
    Layout L = ComputeLayout(g, s, 60, 50);
    L.field = {-0x1p-60f, 20, 0x1p-60f, 10};
    Image im(60, 50);
    PaintClient(g, FieldRowPainter(s), L, im.Target(), TestPool());
    auto coloured = [](uint32_t p) { return p != 0 && p != 0xFFFFFF && p != 0xC0C0C0; };
    EXPECT_EQ(std::count_if(im.Pixels(), im.Pixels() + 20 * 60, coloured), 19 * 9);
    EXPECT_TRUE(coloured(im.At(0, 1)) && coloured(im.At(18, 9)));
}

}  // namespace

}  // namespace quorlane
