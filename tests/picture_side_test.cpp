// The growth rule: a picture too small, shrunk, made anew needlessly, or grown by the wrong amount.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>

#include "render/picture_side.h"

namespace {

// What every side must satisfy for a picture side `have`, a client side `need`, a screen side.
void ExpectGrowthRule(int have, int need, int screen) {
    const int side = PictureSide(have, need, screen);
    const int64_t base = std::max(have, screen);
    SCOPED_TRACE(testing::Message() << have << " " << need << " " << screen << " -> " << side);
    EXPECT_GE(side, need);
    if (need <= base) {
        EXPECT_EQ(side, base);  // it fits: the picture stays as it is, or starts at the screen
        return;
    }
    const int64_t quarterMore = int64_t(need) + need / 4;
    if (quarterMore > kLargestGrownSide) {
        EXPECT_EQ(side, std::max(need, kLargestGrownSide));
    } else {
        EXPECT_EQ(side % 64, 0);
        EXPECT_GE(side, quarterMore);
        EXPECT_LT(side, quarterMore + 64);
    }
}

// Random sides, small ones and ones up to 2^30 (beyond the quarter rule's largest side).
TEST(PictureSide, GrowsByAQuarterToWholeSixtyFours) {
    std::mt19937 random(17);
    for (int k = 0; k < 20000; ++k) {
        const int limit = k % 2 ? 5000 : 1 << 30;
        std::uniform_int_distribution<int> side(1, limit);
        ExpectGrowthRule(k % 3 ? side(random) : 0, side(random), side(random));
    }
}

}  // namespace
