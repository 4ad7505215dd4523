// The field interpolation by its properties, and the split form against the per-point form.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "render/interp.h"
#include "test_support.h"

namespace quorlane {

namespace {

const float kInf = INFINITY, kNaN = NAN;

// A quadratic along either axis is reproduced off the ghost border and at every cell centre, and
// broken elsewhere in the outer cells.
TEST(InterpTest, QuadraticsAreReproducedOffTheBorder) {
    auto quadratic = [](double t) { return 0.75 * t * t - 3.0 * t + 2.0; };
    for (bool alongX : {true, false}) {
        const Grid g = MakeGrid(
            8, 8, [&](uint32_t i, uint32_t j) { return float(quadratic((alongX ? i : j) - 0.5)); });
        for (float t = 0.0f; t < 8.0f; t += 0.125f) {
            const float got = alongX ? Interpolate(g, t, 3.3f) : Interpolate(g, 5.6f, t);
            const double err = std::fabs(got - quadratic(t));
            const bool offBorder = t >= 1.0f && t < 7.0f;
            const bool atCentre = t - std::floor(t) == 0.5f;
            EXPECT_EQ(err < 1e-4, offBorder || atCentre) << t << " along x " << alongX;
        }
    }
}

// A stencil shifted by one cell: a change to any cell, ghost border included, moves exactly the
// points (a quarter, three quarters and all but 2^-12 into a cell) whose 3 × 3 stencil holds it.
TEST(InterpTest, EachPointReadsTheStencilOfItsCell) {
    Grid g = MakeGrid(5, 4, [](uint32_t i, uint32_t j) { return float(i * i + 3 * j); });
    std::vector<float> xs, ys;
    for (float within : {0.25f, 0.75f, 1 - 0x1p-12f}) {
        for (uint32_t x = 0; x < g.columns; ++x) xs.push_back(x + within);
        for (uint32_t y = 0; y < g.rows; ++y) ys.push_back(y + within);
    }
    for (uint32_t i = 0; i <= g.columns + 1; ++i)
        for (uint32_t j = 0; j <= g.rows + 1; ++j)
            for (float qx : xs)
                for (float qy : ys) {
                    const float before = Interpolate(g, qx, qy);
                    g.Cell(i, j) += 100.0f;
                    const bool changes = Interpolate(g, qx, qy) != before;
                    g.Cell(i, j) -= 100.0f;
                    const uint32_t x = uint32_t(qx) + 1, y = uint32_t(qy) + 1;  // the point's cell
                    ASSERT_EQ(changes, i + 1 >= x && i <= x + 1 && j + 1 >= y && j <= y + 1)
                        << "cell " << i << "," << j << " at " << qx << "," << qy;
                }
}

// A read outside the block: points on the far edge or beyond the near one use the nearest cell,
// and every cell index stays within the samples whatever the coordinate.
TEST(InterpTest, EdgesAndBeyondUseTheNearestCell) {
    const Grid g =
        MakeGrid(4, 3, [](uint32_t i, uint32_t j) { return float(i * j) - 0.5f * float(i * i); });
    const float justBelow4 = std::nextafter(4.0f, 0.0f), justBelow3 = std::nextafter(3.0f, 0.0f);
    const struct {
        float qx, qy, nearX, nearY;
    } edges[] = {
        {1.3f, 3, 1.3f, justBelow3}, {4, 2.2f, justBelow4, 2.2f}, {4, 3, justBelow4, justBelow3},
        {-1e-7f, 1.5f, 0, 1.5f},     {2.5f, -1e-7f, 2.5f, 0},
    };
    for (const auto& c : edges)
        EXPECT_NEAR(Interpolate(g, c.qx, c.qy), Interpolate(g, c.nearX, c.nearY), 1e-4)
            << c.qx << "," << c.qy;
    EXPECT_EQ(RowWeights(g, 3.0f).row, 3u);
    EXPECT_EQ(RowWeights(g, 3.0f).offset, 0.5f);
    for (float a : {-5.0f, 7.0f, -1e30f, 1e30f, kInf, kNaN}) {
        const XWeights x = ColumnWeights(g, a);
        const YWeights y = RowWeights(g, a);
        EXPECT_TRUE(x.column >= 1 && x.column <= g.columns && y.row >= 1 && y.row <= g.rows) << a;
        if (std::fabs(a) < 10.0f) {
            EXPECT_FALSE(std::isnan(Interpolate(g, a, 1.5f) + Interpolate(g, 1.5f, a))) << a;
        }
    }
}

// For any offset in a cell and row values in [1, 2), AlongY gives the float nearest to their
// Lagrange combination q(q - 1)/2 * f0 + (1 - q^2) * f1 + q(q + 1)/2 * f2.
TEST(InterpTest, AlongYGivesTheNearestFloatToTheLagrangeCombination) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<float> value(1.0f, 2.0f), offset(-0.5f, 0.5f);
    for (int k = 0; k < 100000; ++k) {
        const YWeights w{1, offset(rng)};
        const float f0 = value(rng), f1 = value(rng), f2 = value(rng);
        const long double q = w.offset;
        const long double exact = q * (q - 1) / 2 * f0 + (1 - q * q) * f1 + q * (q + 1) / 2 * f2;
        ASSERT_EQ(AlongY(w, f0, f1, f2), float(exact))
            << w.offset << " " << f0 << " " << f1 << " " << f2;
    }
}

// The split form as the paint pass uses it (x weights per column, row results per column and cell
// row, AlongY per pixel) drifting from Interpolate: random grids and points, some on cell edges.
TEST(InterpTest, SplitFormMatchesInterpolate) {
    std::mt19937 rng(2024);
    std::uniform_int_distribution<uint32_t> size(1, 13);
    std::uniform_real_distribution<float> value(-50.0f, 80.0f);
    auto same = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    for (int trial = 0; trial < 150; ++trial) {
        const float scale = std::ldexp(1.0f, int(size(rng)) - 7);
        const uint32_t nx = size(rng), ny = size(rng);
        const Grid g = MakeGrid(nx, ny, [&](uint32_t, uint32_t) { return value(rng) * scale; });
        const float kx = nx / (7.0f + trial % 41), ky = ny / (3.0f + trial % 37);
        std::vector<XWeights> cols;
        for (int c = 1; c * kx < nx; ++c) cols.push_back(ColumnWeights(g, c * kx));
        std::vector<float> f(3 * cols.size());
        for (int r = 1; r * ky < ny; ++r) {
            const YWeights yw = RowWeights(g, r * ky);
            const bool newCellRow = r == 1 || yw.row != RowWeights(g, (r - 1) * ky).row;
            for (size_t c = 0; c < cols.size() && newCellRow; ++c)
                for (int k = 0; k < 3; ++k) f[3 * c + k] = AlongX(cols[c], g.Row(yw.row - 1 + k));
            for (size_t c = 0; c < cols.size(); ++c)
                ASSERT_TRUE(same(AlongY(yw, f[3 * c], f[3 * c + 1], f[3 * c + 2]),
                                 Interpolate(g, (c + 1) * kx, r * ky)))
                    << nx << "x" << ny << " at " << (c + 1) * kx << "," << r * ky;
        }
    }
}

}  // namespace

}  // namespace quorlane
