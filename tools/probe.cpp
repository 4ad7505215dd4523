// quorlane_probe WIDTH HEIGHT [X Y ...]
//
// Loads "quorlane.dat" and "quorlane.ini" from the working directory and
// prints what the readout of a picture of WIDTH × HEIGHT pixels says: one
// line "range TEXT", one "outside TEXT", then for each pixel X Y given
//   pixel X Y TEXT
//   copy X Y LINE
// the status bar's text for that pixel and the line Ctrl+C copies there. On a
// load failure it prints the message to stderr and ends with the loader's
// exit status.
#include <cstdio>
#include <cstdlib>

#include "probe/readout_text.h"
#include "render/layout.h"
#include "tool_support.h"

namespace quorlane {

int Run(int argc, char** argv) {
    int width = 0, height = 0;
    if (argc < 3 || argc % 2 != 1 || !ParseWholeNumber(argv[1], &width) ||
        !ParseWholeNumber(argv[2], &height)) {
        std::fprintf(stderr, "usage: quorlane_probe WIDTH HEIGHT [X Y ...]\n");
        return 2;
    }
    Grid grid;
    DisplaySettings settings;
    WorkerPool pool(WorkerPool::CoreThreads());
    if (!LoadWorkingDirectory(grid, settings, pool)) return kLoadFailedStatus;
    const FieldRange range = RangeOf(grid, settings, pool);
    std::printf("range %s\n", RangeText(range, Digits::kScreen).c_str());
    std::printf("outside %s\n", OutsideText(range, Digits::kScreen).c_str());
    const Layout layout = ComputeLayout(grid, settings, width, height);
    for (int k = 3; k + 1 < argc; k += 2) {
        int x = 0, y = 0;
        if (!ParseWholeNumber(argv[k], &x) || !ParseWholeNumber(argv[k + 1], &y)) {
            std::fprintf(stderr, "a pixel is two whole numbers\n");
            return 2;
        }
        const PixelReading reading = ReadPixel(grid, settings, layout, x, y);
        std::printf("pixel %d %d %s\n", x, y, PixelText(reading, Digits::kScreen).c_str());
        std::printf("copy %d %d %s\n", x, y, ReadoutLine(reading, range).c_str());
    }
    return 0;
}

}  // namespace quorlane

int main(int argc, char** argv) {
    return quorlane::Run(argc, argv);
}
