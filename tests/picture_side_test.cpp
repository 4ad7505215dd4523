// The growth rule: a picture too small, shrunk, made anew needlessly, or grown by the wrong amount.
#include <gtest/gtest.h>

#include "viewer/rules/picture_side.h"

namespace quorlane {

namespace {

TEST(PictureSide, GrowsByAQuarterToWholeSixtyFours) {
    const int kLargest = kLargestGrownSide;
    const struct {
        int have, need, screen, side;
    } cases[] = {
        {0, 800, 1920, 1920},                // the first picture: the screen's side
        {0, 1920, 1920, 1920},               // exactly the screen
        {2560, 100, 1920, 2560},             // a picture larger than the screen is kept
        {2560, 2560, 1920, 2560},            // the client fits exactly
        {0, 1921, 1920, 2432},               // 1921 + 480 = 2401, up to 38 × 64
        {2432, 2433, 1920, 3072},            // 2433 + 608 = 3041, up to 48 × 64
        {0, 64, 0, 128},                     // 64 + 16 = 80, up to 2 × 64
        {0, 1, 0, 64},                       // the smallest picture
        {0, 13000000, 0, 16250048},          // 13000000 + 3250000, up to 253907 × 64
        {0, 13421800, 0, kLargest},          // a quarter more is beyond the largest side
        {0, kLargest + 1, 0, kLargest + 1},  // the client itself beyond the largest side
        {0, 1 << 30, 0, 1 << 30},
        {1 << 30, 5, 1920, 1 << 30},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PictureSide(c.have, c.need, c.screen), c.side)
            << c.have << " " << c.need << " " << c.screen;
}

}  // namespace

}  // namespace quorlane
