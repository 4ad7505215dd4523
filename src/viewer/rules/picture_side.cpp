// The growth rule of the main window's off-screen picture.
#include "viewer/rules/picture_side.h"

#include <algorithm>
#include <cstdint>

namespace quorlane {

int PictureSide(int have, int need, int screen) {
    const int64_t base = std::max(have, screen);
    if (need <= base) return int(base);
    const int64_t generous = (int64_t(need) + need / 4 + 63) / 64 * 64;
    return int(std::min(generous, std::max<int64_t>(need, kLargestGrownSide)));
}

}  // namespace quorlane
