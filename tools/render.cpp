// quorlane_render WIDTH HEIGHT OUT.ppm [--print-layout]
//
// Loads "quorlane.dat" and "quorlane.ini" from the working directory, paints
// the picture of a client area WIDTH × HEIGHT pixels and writes it as a
// binary PPM (the image without the texts). Then prints one line per text:
//   text X Y COUNT STRING
// where STRING is the first COUNT characters of the text. On a load failure
// it prints the message to stderr and ends with the loader's exit status.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "render/field_row.h"
#include "render/paint.h"
#include "tool_support.h"

namespace quorlane {

namespace {

void PrintLayout(const Layout& L) {
    std::printf("client %d %d\n", L.width, L.height);
    std::printf("room %.9g %.9g\n", L.roomWidth, L.roomHeight);
    std::printf("world_per_pixel %.9g cells_per_pixel %.9g %.9g\n", L.worldPerPixel,
                L.cellsPerPixelX, L.cellsPerPixelY);
    if (L.hasField)
        std::printf("field %.9g %.9g %.9g %.9g\n", L.field.xstart, L.field.xend, L.field.ystart,
                    L.field.yend);
    else
        std::printf("field none\n");
    if (L.hasBand)
        std::printf("band %.9g %.9g %.9g %.9g\n", L.band.xstart, L.band.xend, L.band.ystart,
                    L.band.yend);
    else
        std::printf("band none\n");
}

}  // namespace

// The program; main hands over to it.
int Run(int argc, char** argv) {
    int width = 0, height = 0;
    const bool printLayout = argc == 5 && std::strcmp(argv[4], "--print-layout") == 0;
    if ((argc != 4 && !printLayout) || !ParseWholeNumber(argv[1], &width) ||
        !ParseWholeNumber(argv[2], &height)) {
        std::fprintf(stderr, "usage: quorlane_render WIDTH HEIGHT OUT.ppm [--print-layout]\n");
        return 2;
    }
    Grid grid;
    DisplaySettings settings;
    WorkerPool pool(WorkerPool::CoreThreads());
    if (!LoadWorkingDirectory(grid, settings, pool)) return kLoadFailedStatus;

    const Layout layout = ComputeLayout(grid, settings, width, height);
    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    PaintClient(grid, FieldRowPainter(settings), layout, {pixels.data(), width}, pool);

    std::vector<unsigned char> rgb(pixels.size() * 3);
    for (size_t k = 0; k < pixels.size(); ++k) {
        rgb[3 * k] = static_cast<unsigned char>(pixels[k] >> 16);
        rgb[3 * k + 1] = static_cast<unsigned char>(pixels[k] >> 8);
        rgb[3 * k + 2] = static_cast<unsigned char>(pixels[k]);
    }
    std::FILE* out = std::fopen(argv[3], "wb");
    if (out == nullptr) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 2;
    }
    std::fprintf(out, "P6\n%d %d\n255\n", width, height);
    const bool written = rgb.empty() || std::fwrite(rgb.data(), 1, rgb.size(), out) == rgb.size();
    if (std::fclose(out) != 0 || !written) {
        std::fprintf(stderr, "cannot write %s\n", argv[3]);
        return 2;
    }

    if (printLayout) PrintLayout(layout);
    for (int t = 0; t < layout.textCount; ++t) {
        const PaintText& text = layout.texts[t];
        std::printf("text %d %d %d %.*s\n", text.x, text.y, text.count, text.count, text.str);
    }
    return 0;
}

}  // namespace quorlane

int main(int argc, char** argv) {
    return quorlane::Run(argc, argv);
}
