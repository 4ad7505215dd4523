#pragma once

namespace quorlane {
// How the main window's off-screen picture grows: generously, so that a
// window that keeps growing a little does not make a new picture at every
// step.

// The largest side the quarter rule grows a picture to.
constexpr int kLargestGrownSide = 1 << 24;

// One side of a picture to be made for a client side of `need` pixels, where
// the picture has `have` pixels on that side (0 before the first) and the
// virtual screen `screen`: the larger of the two while the client fits in
// it, else a quarter more than the client, rounded up to a multiple of 64,
// but no more than kLargestGrownSide or the client itself where that is
// larger.
int PictureSide(int have, int need, int screen);

}  // namespace quorlane
