// Field interpolation: cell centres, quadratics, the ghost border, the far
// edge, and the split form against a direct per-point evaluation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

#include "data/grid.h"
#include "render/interp.h"

namespace {

// A grid whose block sits between NaN guards, so any read outside the block
// turns the result into NaN. sample(i, j) for i in 1..nx, j in 1..ny.
struct TestGrid {
    std::vector<float> store;
    TestGrid(uint32_t nx, uint32_t ny, const std::function<float(uint32_t, uint32_t)>& sample) {
        QntX = nx, QntY = ny, QntX2 = nx + 2, QntY2 = ny + 2;
        store.assign(QntX2 * QntY2 + 128, std::nanf(""));
        array = store.data() + 64;
        for (uint32_t j = 0; j < QntY2; ++j)
            for (uint32_t i = 0; i < QntX2; ++i) at(i, j) = sample(std::clamp(i, 1u, nx), std::clamp(j, 1u, ny));
    }
    float& at(uint32_t i, uint32_t j) { return array[j * QntX2 + i]; }
};

// The formulas evaluated directly, for 0 <= qx < QntX, 0 <= qy < QntY.
float Direct(float qx, float qy) {
    const uint32_t i = static_cast<uint32_t>(qx + 1.0), j = static_cast<uint32_t>(qy + 1.0);
    const float ox = static_cast<float>(qx - (static_cast<float>(static_cast<int32_t>(qx)) + 0.5));
    const float oy = static_cast<float>(qy - (static_cast<float>(static_cast<int32_t>(qy)) + 0.5));
    const float _05q = static_cast<float>(0.5 * ox), _05q_1 = static_cast<float>(_05q - 1.0);
    const float _1_q = static_cast<float>(1.0 - ox), q_1 = static_cast<float>(1.0 + ox);
    float f[3];
    for (int r = 0; r < 3; ++r) {
        const float* row = array + (j - 1 + r) * QntX2;
        const double u = row[i - 1], v = row[i], w = row[i + 1];
        f[r] = static_cast<float>(((_05q_1 * u + _1_q * v) + _05q * w) * q_1 + u);
    }
    return static_cast<float>((((0.5 * oy - 1.0) * f[0] + (1.0 - oy) * f[1]) + (0.5 * oy) * f[2]) * (oy + 1.0) + f[0]);
}

TEST(InterpTest, CentresExactQuadraticsReproducedOffTheBorder) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> value(-1000.0f, 1000.0f);
    TestGrid g(9, 6, [&](uint32_t, uint32_t) { return value(rng); });
    for (uint32_t j = 1; j <= QntY; ++j)
        for (uint32_t i = 1; i <= QntX; ++i) EXPECT_EQ(Interpolate(i - 0.5f, j - 0.5f), g.at(i, j)) << i << "," << j;
    // Inner cells reproduce a quadratic; in the outer cells the ghost copy of
    // the edge sample breaks it (except at the centre, where it is exact).
    auto P = [](double t) { return 0.75 * t * t - 3.0 * t + 2.0; };
    for (bool alongX : {true, false}) {
        TestGrid q(8, 8, [&](uint32_t i, uint32_t j) { return static_cast<float>(P((alongX ? i : j) - 0.5)); });
        for (float t = 0.0f; t < 8.0f; t += 0.125f) {
            const double err = std::fabs((alongX ? Interpolate(t, 3.3f) : Interpolate(5.6f, t)) - P(t));
            if ((t >= 1.0f && t < 7.0f) || t - std::floor(t) == 0.5f) EXPECT_LT(err, 1e-4) << t << " x " << alongX;
            else EXPECT_GT(err, 1e-3) << t << " x " << alongX;
        }
    }
}

// Changing one ghost cell changes exactly the outer cells whose stencil reads it.
TEST(InterpTest, GhostBorderFeedsTheOuterCells) {
    const struct { uint32_t gi, gj; float qx, qy; bool changes; } cases[] = {
        {0, 2, 0.25f, 1.75f, true}, {0, 2, 1.25f, 1.75f, false}, {6, 2, 4.75f, 1.75f, true}, {6, 2, 3.75f, 1.75f, false},
        {2, 0, 1.75f, 0.25f, true}, {2, 0, 1.75f, 1.25f, false}, {2, 5, 1.75f, 3.75f, true}, {2, 5, 1.75f, 2.75f, false},
        {0, 0, 0.25f, 0.25f, true}, {6, 5, 4.9f, 3.9f, true}};
    for (const auto& c : cases) {
        TestGrid g(5, 4, [](uint32_t i, uint32_t j) { return static_cast<float>(i * i + 3 * j); });
        const float before = Interpolate(c.qx, c.qy);
        g.at(c.gi, c.gj) += 100.0f;
        EXPECT_EQ(Interpolate(c.qx, c.qy) != before, c.changes) << c.gi << "," << c.gj;
    }
}

// F11: the far edge (and beyond) uses the last cell, measured from its centre;
// before the near edge the first cell; nothing outside the block is read.
TEST(InterpTest, PointsOnOrOutsideTheEdgesStayInTheBlock) {
    TestGrid g(4, 3, [](uint32_t i, uint32_t j) { return static_cast<float>(i * j) - 0.5f * static_cast<float>(i * i); });
    const float X = std::nextafter(4.0f, 0.0f), Y = std::nextafter(3.0f, 0.0f);
    const struct { float qx, qy, nearX, nearY; } cases[] = {
        {1.3f, 3.0f, 1.3f, Y}, {4.0f, 2.2f, X, 2.2f}, {4.0f, 3.0f, X, Y}, {-1e-7f, 1.5f, 0.0f, 1.5f}, {2.5f, -1e-7f, 2.5f, 0.0f}};
    for (const auto& c : cases) EXPECT_NEAR(Interpolate(c.qx, c.qy), Interpolate(c.nearX, c.nearY), 1e-4) << c.qx << "," << c.qy;
    EXPECT_EQ(RowWeights(3.0f).j, 3u);
    EXPECT_EQ(RowWeights(3.0f).qy, 0.5f);
    for (float a : {-5.0f, 7.0f, -1e30f, 1e30f, INFINITY, NAN}) {
        EXPECT_TRUE(ColumnWeights(a).i >= 1 && ColumnWeights(a).i <= QntX) << a;
        EXPECT_TRUE(RowWeights(a).j >= 1 && RowWeights(a).j <= QntY) << a;
        if (std::fabs(a) < 10.0f) {
            EXPECT_FALSE(std::isnan(Interpolate(a, 1.5f)) || std::isnan(Interpolate(1.5f, a))) << a;
        }
    }
}

// Interpolate, and the split form used as the paint pass uses it (x weights
// per column, row results per column and cell row, AlongY per pixel), give
// the direct evaluation bit for bit over many random grids and points.
TEST(InterpTest, SplitFormMatchesDirectEvaluation) {
    std::mt19937 rng(2024);
    std::uniform_int_distribution<uint32_t> size(1, 13);
    std::uniform_real_distribution<float> value(-50.0f, 80.0f), unit(0.0f, 1.0f);
    auto same = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
    for (int grid = 0; grid < 150; ++grid) {
        const float scale = std::ldexp(1.0f, static_cast<int>(size(rng)) - 7);
        TestGrid g(size(rng), size(rng), [&](uint32_t, uint32_t) { return value(rng) * scale; });
        for (int p = 0; p < 200; ++p) {  // including cell edges and the floats just below them
            float qx = unit(rng) * QntX, qy = unit(rng) * QntY;
            if (p % 5 == 0) qx = std::floor(qx);
            if (p % 7 == 0) qy = std::nextafter(std::ceil(qy), 0.0f);
            if (qx >= QntX || qy >= QntY) continue;
            ASSERT_TRUE(same(Interpolate(qx, qy), Direct(qx, qy))) << qx << "," << qy;
        }
        const float kx = QntX / (37.0f + grid % 11), ky = QntY / (23.0f + grid % 7);
        std::vector<XWeights> cols;
        for (int c = 1; c * kx < QntX; ++c) cols.push_back(ColumnWeights(c * kx));
        std::vector<float> f(3 * cols.size());
        for (int r = 1; r * ky < QntY; ++r) {
            const YWeights yw = RowWeights(r * ky);
            if (r == 1 || yw.j != RowWeights((r - 1) * ky).j)
                for (size_t c = 0; c < cols.size(); ++c)
                    for (int k = 0; k < 3; ++k) f[3 * c + k] = AlongX(cols[c], array + (yw.j - 1 + k) * QntX2);
            for (size_t c = 0; c < cols.size(); ++c)
                ASSERT_TRUE(same(AlongY(yw, f[3 * c], f[3 * c + 1], f[3 * c + 2]), Direct((c + 1) * kx, r * ky)))
                    << (c + 1) * kx << "," << r * ky;
        }
    }
}

}  // namespace
