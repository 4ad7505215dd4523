// The readout: the point, cell and value of a pixel against the plain rendering, the grid's range
// and the texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "data/bytesource.h"
#include "data/grid_loader.h"
#include "plain_paint.h"
#include "probe/field_range.h"
#include "probe/probed_load.h"
#include "probe/readout.h"
#include "probe/readout_text.h"
#include "render/field_row.h"
#include "test_support.h"

namespace quorlane {

namespace {

const float kInf = INFINITY, kNaN = NAN;

float Bumpy(uint32_t i, uint32_t j) {
    return float(5 + 4 * std::sin(i * 0.7) * std::cos(j * 0.45) + 0.01 * i * j);
}

bool SameBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The grid point each pixel of the field image was painted from, as the plain rendering visits
// them (the later position wins a pixel), or NaN where the field image paints nothing.
struct PlainPoints {
    int64_t w, h;
    std::vector<float> qx, qy;
    PlainPoints(const Layout& L) : w(L.width), h(L.height), qx(size_t(w * h), kNaN), qy(qx) {
        const DrawingBox& f = L.field;
        if (!L.hasField) return;
        for (int64_t n = FirstStepInside(f.ystart); f.ystart + double(n) < f.yend; ++n)
            for (int64_t m = FirstStepInside(f.xstart); f.xstart + double(m) < double(f.xend) - 1;
                 ++m) {
                const int64_t x = int64_t(f.xstart + double(m)), y = int64_t(f.ystart + double(n));
                if (x < 0 || y < 0 || x >= w || y >= h) continue;
                qx[size_t(y * w + x)] = float(double(m) * L.cellsPerPixelX);
                qy[size_t(y * w + x)] = float(double(n) * L.cellsPerPixelY);
            }
    }
};

// Every pixel of the picture: over the band, its column's scale value; over the field image, the
// point the plain rendering painted it from, its cell, and the value whose colour the paint gave
// the pixel; elsewhere nothing.
void ExpectReadingsOfPicture(const Grid& g, const DisplaySettings& s, const Layout& L,
                             const char* what) {
    Image painted(L.width, L.height);
    PaintClient(g, FieldRowPainter(s), L, painted.Target(), TestPool());
    const PlainPoints plain(L);
    const int64_t bandTop = int64_t(L.band.ystart) + 1, bandBottom = int64_t(L.band.yend) - 1;
    for (int64_t y = 0; y < L.height; ++y)
        for (int64_t x = 0; x < L.width; ++x) {
            const PixelReading r = ReadPixel(g, s, L, x, y);
            const bool inBand = L.hasBand && x > int64_t(L.band.xstart) &&
                                x < int64_t(L.band.xend) - 1 && y >= bandTop && y < bandBottom;
            // The band's frame and inside are drawn over the field image.
            const float bx0 = std::min(L.band.xstart, L.band.xend),
                        bx1 = std::max(L.band.xstart, L.band.xend);
            const bool underBand = L.hasBand && x >= int64_t(bx0) && x < int64_t(bx1) &&
                                   y >= int64_t(L.band.ystart) && y < int64_t(L.band.yend);
            const float qx = plain.qx[size_t(y * L.width + x)];
            const PixelPlace want = inBand                        ? PixelPlace::kBand
                                    : std::isnan(qx) || underBand ? PixelPlace::kElsewhere
                                                                  : PixelPlace::kField;
            ASSERT_EQ(r.place, want) << what << " pixel " << x << "," << y;
            if (r.place == PixelPlace::kBand) {
                const float q = float((double(x) - L.band.xstart) / (L.band.xend - L.band.xstart));
                EXPECT_NEAR(r.value, s.scaleMin + q * (s.scaleMax - s.scaleMin), 1e-4);
            }
            if (r.place != PixelPlace::kField) continue;
            ASSERT_TRUE(SameBits(r.qx, qx) && SameBits(r.qy, plain.qy[size_t(y * L.width + x)]))
                << what << " pixel " << x << "," << y;
            ASSERT_TRUE(SameBits(r.value, Interpolate(g, r.qx, r.qy)));
            ASSERT_EQ(PixelOf(FieldColour(s, r.value)), painted.At(x, y))
                << what << " pixel " << x << "," << y << " value " << r.value;
            ASSERT_EQ(r.x, float(double(r.qx) * g.cellWidth));
            ASSERT_EQ(r.y, float(double(r.qy) * g.cellHeight));
            ASSERT_TRUE(SameBits(r.sample, g.Cell(r.column, r.row)));
            // The cell holds the point, or is the nearest to it.
            ASSERT_EQ(r.column, uint32_t(std::clamp(std::floor(r.qx) + 1, 1.0f, float(g.columns))));
            ASSERT_EQ(r.row, uint32_t(std::clamp(std::floor(r.qy) + 1, 1.0f, float(g.rows))));
        }
}

// Worked layouts (room in width or in height, fractional starts, flat and tall cells): the
// world point of chosen pixels; the first field pixel is the one after the frame, position 1.
TEST(ProbePoint, WorkedLayouts) {
    const struct {
        uint32_t columns, rows;
        float cellWidth, cellHeight;
        int width, height;
        int64_t px, py;
        float x, y;
        uint32_t column, row;
    } cases[] = {
        {13, 13, 10, 10, 400, 300, 71, 1, 0.5f, 0.5f, 1, 1},        // the height binds, box 70..330
        {13, 13, 10, 10, 400, 300, 328, 259, 129, 129.5f, 13, 13},  // the last field pixel
        {13, 13, 10, 10, 400, 300, 90, 20, 10, 10, 2, 2},     // on a cell border: the later cell
        {20, 10, 10, 10, 400, 300, 1, 31, 0.5f, 0.5f, 1, 1},  // the width binds, box y 30..230
        {12, 20, 1.5f, 0.4f, 300, 260, 150, 100, 9, 3.42f, 7, 9},     // flat cells
        {4, 4, 1, 3, 300, 260, 150, 50, 2.018182f, 2.727273f, 3, 1},  // tall cells
    };
    const DisplaySettings s = WithBand(Clipped(RainbowScale(1, 9)), 20, 30, 10);
    for (const auto& c : cases) {
        const Grid g = MakeGrid(c.columns, c.rows, Bumpy, c.cellWidth, c.cellHeight);
        const Layout L = ComputeLayout(g, s, c.width, c.height);
        const PixelReading r = ReadPixel(g, s, L, c.px, c.py);
        ASSERT_EQ(r.place, PixelPlace::kField) << c.px << "," << c.py;
        EXPECT_NEAR(r.x, c.x, 1e-4) << c.px << "," << c.py;
        EXPECT_NEAR(r.y, c.y, 1e-4) << c.px << "," << c.py;
        EXPECT_EQ(r.column, c.column) << c.px << "," << c.py;
        EXPECT_EQ(r.row, c.row) << c.px << "," << c.py;
        ExpectReadingsOfPicture(g, s, L, "worked");
    }
}

// Tiny and degenerate clients, non-square cells, hand-made and random field boxes, random fields.
TEST(ProbePoint, EveryPixelReadsWhatThePaintDrew) {
    std::mt19937 rng(33);
    std::uniform_real_distribution<float> value(-2, 12);
    const Grid small = MakeGrid(
        7, 5, [&](uint32_t, uint32_t) { return value(rng); }, 3, 2.5f);
    for (uint8_t palette : {1, 2})
        for (uint8_t clipping : {0, 1}) {
            const DisplaySettings s = WithBand(
                WithSwitches(TwoColourScale(1, 9, kBlue, kRed), clipping, palette), 6, 5, 3);
            for (int w = 0; w <= 40; w += 3)
                for (int h = 0; h <= 40; h += 2)
                    ExpectReadingsOfPicture(small, s, ComputeLayout(small, s, w, h), "small");
        }
    const DisplaySettings s = WithBand(RainbowScale(1, 9), 20, 30, 10);
    Layout L = ComputeLayout(small, s, 260, 200);
    std::uniform_real_distribution<float> d(-30, 270);
    for (int t = 0; t < 40; ++t) {
        const float x = d(rng), y = d(rng);
        L.field = DrawingBox{x, x + std::fabs(d(rng)), y, y + std::fabs(d(rng))};
        ExpectReadingsOfPicture(small, s, L, "random box");
    }
    // Random fields with NaN and infinities, random cell shapes and client sizes.
    const float specials[] = {kNaN, kInf, -kInf, 1e30f, -1e30f};
    for (int t = 0; t < 30; ++t) {
        const uint32_t columns = 1 + rng() % 40, rows = 1 + rng() % 40;
        const Grid g = MakeGrid(
            columns, rows,
            [&](uint32_t, uint32_t) { return rng() % 50 == 0 ? specials[rng() % 5] : value(rng); },
            0.1f + float(rng() % 100), 0.1f + float(rng() % 100));
        ExpectReadingsOfPicture(g, s, ComputeLayout(g, s, int(rng() % 300), int(rng() % 300)),
                                "random field");
    }
    EXPECT_EQ(ReadPixel(Grid(), s, ComputeLayout(Grid(), s, 400, 300), 200, 100).place,
              PixelPlace::kElsewhere)
        << "no grid loaded";
}

// At and next to cell borders, the far edges, the ghost border and beyond.
TEST(ProbePoint, CellOfPoint) {
    const Grid g = MakeGrid(5, 4, Bumpy);
    const float below1 = std::nextafter(1.0f, 0.0f), below5 = std::nextafter(5.0f, 0.0f);
    const struct {
        float qx, qy;
        uint32_t column, row;
    } cases[] = {
        {0, 0, 1, 1},           {below1, below1, 1, 1}, {1, 1, 2, 2},      {2.5f, 3.5f, 3, 4},
        {below5, 3.999f, 5, 4}, {5, 4, 5, 4},           {-0.5f, -1, 1, 1}, {5.5f, 4.5f, 5, 4},
        {-1e30f, 1e30f, 1, 4},  {kNaN, kNaN, 1, 1},     {-0.0f, 2, 1, 3},
    };
    for (const auto& c : cases) {
        uint32_t column = 0, row = 0;
        CellOfPoint(g, c.qx, c.qy, &column, &row);
        EXPECT_EQ(column, c.column) << c.qx << "," << c.qy;
        EXPECT_EQ(row, c.row) << c.qx << "," << c.qy;
    }
}

// The range by a plain pass in file order.
FieldRange PlainRange(const Grid& g, const DisplaySettings& s) {
    FieldRange r;
    const float lo = std::min(s.scaleMin, s.scaleMax), hi = std::max(s.scaleMin, s.scaleMax);
    for (uint32_t j = 1; j <= g.rows; ++j)
        for (uint32_t i = 1; i <= g.columns; ++i) {
            const float v = g.Cell(i, j);
            r.below += v < lo;
            r.above += v > hi;
            if (std::isnan(v)) continue;
            if (!r.any || v < r.min) r.min = v, r.minColumn = i, r.minRow = j;
            if (!r.any || v > r.max) r.max = v, r.maxColumn = i, r.maxRow = j;
            r.any = true;
        }
    return r;
}

void ExpectRange(const FieldRange& got, const FieldRange& want, const char* what) {
    EXPECT_EQ(got.any, want.any) << what;
    EXPECT_TRUE(SameBits(got.min, want.min) && SameBits(got.max, want.max))
        << what << ": " << got.min << " " << got.max << " want " << want.min << " " << want.max;
    EXPECT_EQ(got.minColumn * 100000 + got.minRow, want.minColumn * 100000 + want.minRow) << what;
    EXPECT_EQ(got.maxColumn * 100000 + got.maxRow, want.maxColumn * 100000 + want.maxRow) << what;
    EXPECT_EQ(got.below, want.below) << what;
    EXPECT_EQ(got.above, want.above) << what;
}

// Ties (the first in file order), signed zeros, NaN, infinities, a reversed scale; rows of every
// length around the four-wide steps; large grids on one thread and on all.
TEST(ProbeRange, SameAsAPlainPassOnAnyNumberOfThreads) {
    const struct {
        const char* name;
        uint32_t columns, rows;
        std::vector<float> values;
        float scaleMin, scaleMax;
    } grids[] = {
        {"ties", 3, 2, {4, 1, 9, 9, 1, 4}, 2, 8},
        {"zeros", 5, 1, {0, -0.0f, 0, -0.0f, 0}, -1, 1},
        {"negative zero first", 6, 1, {-0.0f, 0, 0, 0, 0, 0}, -1, 1},
        {"NaN", 2, 2, {kNaN, 3, kNaN, -3}, 0, 1},
        {"NaN only", 2, 1, {kNaN, kNaN}, 0, 1},
        {"infinities", 5, 1, {kNaN, kInf, 1, -kInf, kInf}, 0, 1},
        {"plus infinity only", 1, 3, {kNaN, kInf, kInf}, 0, 1},
        {"minus infinity only",
         9,
         1,
         {kNaN, -kInf, -kInf, -kInf, -kInf, kNaN, -kInf, 2, kNaN},
         3,
         4},
        {"reversed scale", 4, 1, {0, 5, 10, 15}, 12, 3},
    };
    for (const auto& c : grids) {
        const Grid g = MakeGrid(c.columns, c.rows, [&](uint32_t i, uint32_t j) {
            return c.values[(j - 1) * c.columns + i - 1];
        });
        const DisplaySettings s = RainbowScale(c.scaleMin, c.scaleMax);
        ExpectRange(RangeOf(g, s, TestPool()), PlainRange(g, s), c.name);
    }
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> v(-300, 300);
    for (uint32_t columns : {1u, 3u, 4u, 5u, 7u, 8u, 9u, 301u})
        for (uint32_t rows : {1u, 2u, 700u}) {
            const Grid g = MakeGrid(columns, rows, [&](uint32_t, uint32_t) {
                const int k = v(rng);
                return k == 0 ? kNaN : float(k) / 4;
            });
            const DisplaySettings s = RainbowScale(-50, 60);
            const FieldRange want = PlainRange(g, s);
            ExpectRange(RangeOf(g, s, TestPool(), 1), want, "random, one thread");
            ExpectRange(RangeOf(g, s, TestPool()), want, "random, all threads");
        }
    EXPECT_FALSE(RangeOf(Grid(), RainbowScale(0, 1), TestPool()).any);
}

// Gathered while a load parses its pieces, on any threads and in any order, the range is the
// one a plain pass gives; the start-up load gives what LoadInputs gives, and the same report.
TEST(ProbeRange, GatheredWhileLoading) {
    std::mt19937 rng(21);
    std::string text = "37 23 1.5 0.5\n";
    for (int k = 0; k < 37 * 23; ++k) {
        const int v = int(rng() % 601) - 300;
        text += v % 50 == 0 ? "nan\n" : v % 77 == 0 ? "-0\n" : std::to_string(v / 8.0) + "\n";
    }
    const DisplaySettings s = RainbowScale(-20, 30);
    for (size_t pieceBytes : {78, 300, 4096, 1 << 20})
        for (unsigned threads : {1u, 4u}) {
            RangeCollector collector(s);
            GridLoadOptions options;
            options.pieceBytes = pieceBytes;
            const PiecesParsed parsed = [&](const Grid& g, size_t first, size_t count) {
                collector.Add(g, first, count);
            };
            MemorySource source(text.data(), text.size());
            Grid g;
            WorkerPool pool(threads);
            ASSERT_TRUE(LoadGridFrom(g, source, pool, options, "quorlane.dat", parsed).ok);
            ExpectRange(collector.Result(g), PlainRange(g, s), "gathered while loading");
        }

    const std::filesystem::path d =
        std::filesystem::temp_directory_path() / ("probed_load_" + std::to_string(std::rand()));
    std::filesystem::create_directories(d);
    const InputFiles inputs = InputsOf((d / "quorlane.dat").string(), false);
    const auto put = [&](const char* name, const std::string& content) {
        std::ofstream(d / name, std::ios::binary) << content;
    };
    const std::string ini = "-20\n30\n0\n255\n0\n0\n255\n0\n640\n480\n20\n30\n20\n10\nT\n1\n1\n";
    // Both files, a bad grid, a bad settings file, neither: the first failure, the grid's first.
    const std::pair<std::string, std::string> cases[] = {
        {text, ini}, {"0 0 1 1\n", ini}, {text, "1\n"}, {"x", ""}};
    for (const auto& [dat, settings] : cases) {
        put("quorlane.dat", dat);
        put("quorlane.ini", settings);
        Grid want, got;
        DisplaySettings wantSettings, gotSettings;
        FieldRange range;
        const LoadResult r = LoadInputs(inputs, TestPool(), want, wantSettings);
        const LoadResult q = LoadInputsWithRange(inputs, TestPool(), got, gotSettings, range);
        EXPECT_EQ(q.ok, r.ok) << r.message;
        EXPECT_EQ(q.message, r.message);
        if (!r.ok) continue;
        EXPECT_TRUE(got.cells == want.cells && gotSettings.scaleMax == wantSettings.scaleMax);
        ExpectRange(range, RangeOf(want, wantSettings, TestPool()), "start-up load");
    }
    std::filesystem::remove_all(d);
}

TEST(ProbeText, Texts) {
    PixelReading field;
    field.place = PixelPlace::kField;
    field.x = 12.5f, field.y = 0.1f, field.value = 4.71828f, field.column = 3, field.row = 2;
    field.sample = -1234567.f;
    PixelReading band;
    band.place = PixelPlace::kBand;
    band.value = 2.0f / 3;
    FieldRange range;
    range.any = true;
    range.min = -3.0700001f, range.minColumn = 12, range.minRow = 40;
    range.max = 112.5f, range.maxColumn = 7, range.maxRow = 9;
    range.above = 1204;
    const struct {
        std::string got, want;
    } texts[] = {
        {PixelText(field, Digits::kScreen), "x 12.5  y 0.1  value 4.718  cell (3, 2) -1.235e+06"},
        {PixelText(band, Digits::kScreen), "scale 0.6667"},
        {PixelText(PixelReading(), Digits::kScreen), ""},
        {RangeText(range, Digits::kScreen), "min -3.07 (12, 40)  max 112.5 (7, 9)"},
        {RangeText(FieldRange(), Digits::kScreen), "no sample is a number"},
        {OutsideText(range, Digits::kScreen), "1,204 above the scale"},
        {OutsideText(FieldRange(), Digits::kScreen), "all within the scale"},
        {CountText(1234567, Digits::kScreen) + " " + CountText(999, Digits::kScreen),
         "1,234,567 999"},
        {NumberText(kNaN, Digits::kScreen) + " " + NumberText(-kInf, Digits::kExact), "nan -inf"},
        {ReadoutLine(field, range),
         "x 12.5  y 0.100000001  value 4.71827984  cell (3, 2) -1234567  min -3.07000017 (12, 40)  "
         "max 112.5 (7, 9)  1204 above the scale"},
        {ReadoutLine(band, FieldRange()),
         "scale 0.666666687  no sample is a number  all within the scale"},
    };
    for (const auto& t : texts) EXPECT_EQ(t.got, t.want);
    range.below = 3;
    EXPECT_EQ(OutsideText(range, Digits::kExact), "3 below and 1204 above the scale");
    range.above = 0;
    EXPECT_EQ(OutsideText(range, Digits::kScreen), "3 below the scale");
    // The copy's digits give every float back.
    std::uniform_int_distribution<uint32_t> bits;
    std::mt19937 rng(4);
    for (int t = 0; t < 10000; ++t) {
        float f;
        const uint32_t b = bits(rng);
        std::memcpy(&f, &b, sizeof f);
        if (std::isnan(f)) continue;
        ASSERT_TRUE(SameBits(std::strtof(NumberText(f, Digits::kExact).c_str(), nullptr), f)) << f;
    }
}

}  // namespace

}  // namespace quorlane
