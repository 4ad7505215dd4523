// The paint pass: the picture of a layout drawn into a caller's 32-bit
// off-screen image, in slices of whole rows on the pool. Its exact positions,
// split interpolation and slices give the bits of the plain per-pixel
// rendering on any number of threads: see "The exactness rule" and "What runs
// on the pool" in docs/architecture.md.
#include "render/paint.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "common/worker_pool.h"
#include "render/colour.h"
#include "render/field_pixels.h"
#include "render/interp.h"
#include "render/position_runs.h"

namespace quorlane {

namespace {

constexpr uint32_t kGreyPixel = 0x00C0C0C0u;   // the class background, light grey
constexpr uint32_t kBlackPixel = 0x00000000u;  // the stock black pen
constexpr uint32_t kWhitePixel = 0x00FFFFFFu;  // the default white brush

// Below this many pixels a paint runs on the calling thread alone.
constexpr int64_t kThreadedPixels = 1 << 15;

// A rectangle of pixels, rows r0 … r1 − 1 and columns c0 … c1 − 1.
struct Block {
    int64_t r0 = 0, r1 = 0, c0 = 0, c1 = 0;
    bool Has(int64_t row, int64_t col) const {
        return row >= r0 && row < r1 && col >= c0 && col < c1;
    }
};

// One slice of whole rows of the caller's image being drawn: rows r0 … r1 − 1
// of an image `width` pixels wide, and the block of the image that a later
// stage overwrites completely (the field image), which the stages before it
// leave alone: that changes no final pixel and spares writing most of the
// image twice.
struct Canvas {
    PixelImage image;
    int64_t width;
    int64_t r0, r1;
    Block hole;

    uint32_t* Line(int64_t row) const { return image.pixels + row * image.pitch; }

    // Columns c0 … c1 − 1 of one row, already clipped to the image, outside the hole.
    void FillSpan(int64_t row, int64_t c0, int64_t c1, uint32_t v, bool keepHole) const {
        uint32_t* line = Line(row);
        if (keepHole && row >= hole.r0 && row < hole.r1) {
            const int64_t a = std::min(c1, hole.c0), b = std::max(c0, hole.c1);
            if (a > c0) std::fill(line + c0, line + a, v);
            if (c1 > b) std::fill(line + b, line + c1, v);
        } else if (c1 > c0) {
            std::fill(line + c0, line + c1, v);
        }
    }

    // The surface's Rectangle with the black pen and the white brush:
    // outline on columns left and right − 1 and rows top and bottom − 1, the
    // inside white; right and bottom exclusive, the corners put in order
    // first, everything clipped to the image and to this slice of rows.
    void Rectangle(int64_t left, int64_t top, int64_t right, int64_t bottom, bool keepHole) const {
        if (left > right) std::swap(left, right);
        if (top > bottom) std::swap(top, bottom);
        if (right <= left || bottom <= top) return;
        const int64_t c0 = std::max<int64_t>(left, 0), c1 = std::min<int64_t>(right, width);
        const int64_t y0 = std::max(top, r0), y1 = std::min(bottom, r1);
        if (c1 <= c0 || y1 <= y0) return;
        const int64_t i0 = std::max<int64_t>(left + 1, 0), i1 = std::min<int64_t>(right - 1, width);
        for (int64_t y = y0; y < y1; ++y) {
            if (y == top || y == bottom - 1) {
                FillSpan(y, c0, c1, kBlackPixel, keepHole);
                continue;
            }
            FillSpan(y, i0, i1, kWhitePixel, keepHole);
            for (int64_t x : {left, right - 1})
                if (x >= 0 && x < width && !(keepHole && hole.Has(y, x))) Line(y)[x] = kBlackPixel;
        }
    }
};

// The block of pixels the field image covers.
Block AreaOf(const VisibleField& p) {
    if (!p.any) return Block();
    return {p.row0, p.row0 + p.Rows(), p.col0, p.col0 + p.Columns()};
}

// Everything a paint computes once and every slice of rows reads.
struct PaintPlan {
    const Grid& grid;
    const FieldRowPainter& painter;
    const Layout& layout;
    bool drawField;        // the field box is drawn
    VisibleField visible;  // and the part of its image that falls inside the picture
    int64_t bandC0 = 0, bandC1 = 0, bandR0 = 0, bandR1 = 0;  // the band's inside, clipped
    std::vector<uint32_t> bandColours;                       // per band column
};

// The field image columns painted at once: the scratch of a runner holds
// their x weights and rows of values, however wide the picture (a picture
// 2^26 pixels wide and one high would else take 1.3 GB of weights and a
// gigabyte of rows for each thread, five times the picture itself).
constexpr int64_t kColumnsAtOnce = 1 << 14;

// What one runner works in: the x weights of a run of columns, and four rows
// of field values (three cached array rows along x and one row of
// interpolated values), each kColumnsAtOnce long.
struct RunnerScratch {
    XWeights* weights;
    float* values;
};

// The field image rows of the pixel rows r0 … r1 − 1, in runs of at most
// kColumnsAtOnce columns.
void PaintFieldRows(const PaintPlan& f, const Canvas& canvas, RunnerScratch scratch) {
    const VisibleField& p = f.visible;
    const int64_t first = std::max(p.ny0, p.ny0 + (canvas.r0 - p.row0));
    const int64_t last = std::min(p.ny1, p.ny0 + (canvas.r1 - 1 - p.row0));
    for (int64_t k0 = 0; k0 < p.Columns(); k0 += kColumnsAtOnce) {
        const int64_t nc = std::min(kColumnsAtOnce, p.Columns() - k0);
        XWeights* xw = scratch.weights;
        for (int64_t k = 0; k < nc; ++k)
            xw[k] = ColumnWeights(f.grid, FieldColumnCoordinate(f.layout, p.nx0 + k0 + k));

        // Three slots of array rows along x, each remembering which row it holds.
        float* const rows = scratch.values;
        float* slot[3] = {rows, rows + nc, rows + 2 * nc};
        float* values = rows + 3 * nc;
        int64_t held[3] = {-1, -1, -1};
        auto rowAlongX = [&](int64_t r) -> const float* {
            const int s = int(r % 3);
            if (held[s] != r) {
                const float* src = f.grid.Row(uint32_t(r));
                for (int64_t k = 0; k < nc; ++k) slot[s][k] = AlongX(xw[k], src);
                held[s] = r;
            }
            return slot[s];
        };

        for (int64_t n = first; n <= last; ++n) {
            const YWeights yw = RowWeights(f.grid, FieldRowCoordinate(f.layout, n));
            const float* f0 = rowAlongX(int64_t(yw.row) - 1);
            const float* f1 = rowAlongX(yw.row);
            const float* f2 = rowAlongX(int64_t(yw.row) + 1);
            for (int64_t k = 0; k < nc; ++k) values[k] = AlongY(yw, f0[k], f1[k], f2[k]);
            f.painter.Paint(values, canvas.Line(p.row0 + (n - p.ny0)) + p.col0 + k0, int(nc));
        }
    }
}

// The rows r0 … r1 − 1 of the whole picture, in the order of a single pass:
// background, field frame, field image, band frame, band.
void PaintSlice(const PaintPlan& f, PixelImage image, int64_t r0, int64_t r1,
                RunnerScratch scratch) {
    const Layout& L = f.layout;
    const Canvas canvas{image, L.width, r0, r1, AreaOf(f.visible)};
    for (int64_t y = r0; y < r1; ++y) canvas.FillSpan(y, 0, L.width, kGreyPixel, true);
    if (f.drawField) {
        const DrawingBox& box = L.field;
        canvas.Rectangle(Trunc(box.xstart), Trunc(box.ystart), Trunc(box.xend),
                         Trunc(double(box.yend) + 1.0), true);
    }
    if (f.visible.any) PaintFieldRows(f, canvas, scratch);
    if (L.hasBand) {
        const DrawingBox& box = L.band;
        canvas.Rectangle(Trunc(box.xstart), Trunc(box.ystart), Trunc(box.xend), Trunc(box.yend),
                         false);
        const size_t bytes = f.bandColours.size() * sizeof(uint32_t);
        for (int64_t y = std::max(f.bandR0, r0); y < std::min(f.bandR1, r1); ++y)
            std::memcpy(canvas.Line(y) + f.bandC0, f.bandColours.data(), bytes);
    }
}

// The band's inside, clipped to the image, and the colour of each of its columns.
void PlanBand(PaintPlan& f) {
    const Layout& L = f.layout;
    const DrawingBox& box = L.band;
    const BandInside inside = BandInsideOf(L);
    f.bandC0 = inside.c0, f.bandC1 = inside.c1, f.bandR0 = inside.r0, f.bandR1 = inside.r1;
    if (inside.Empty()) {
        f.bandR1 = f.bandR0;  // no band pixel
        return;
    }
    const float bandWidth = float(double(box.xend) - double(box.xstart));
    // The column position xstart + n is a whole number below the image
    // width, so as a float it is exact for any width up to 2^24.
    f.bandColours.resize(size_t(f.bandC1 - f.bandC0));
    for (size_t k = 0; k < f.bandColours.size(); ++k)
        f.bandColours[k] = PixelOf(BandColour(f.painter.Settings(), float(f.bandC0 + int64_t(k)),
                                              box.xstart, box.xend, bandWidth));
}

}  // namespace

bool PaintClient(const Grid& grid, const FieldRowPainter& painter, const Layout& layout,
                 PixelImage image, WorkerPool& pool, unsigned threads) {
    if (image.pixels == nullptr || layout.width <= 0 || layout.height <= 0) return true;
    PaintPlan f{grid, painter, layout, layout.hasField && grid.Loaded(), VisibleField(), 0, 0,
                0,    0,       {}};
    if (f.drawField) f.visible = VisibleFieldOf(layout);
    const int64_t nc = f.visible.any ? f.visible.Columns() : 0;
    // Slices of rows, a few per thread so that they share the work evenly.
    const int64_t height = layout.height;
    if (int64_t(layout.width) * height < kThreadedPixels) threads = 1;
    unsigned runners = threads == 0 ? pool.Threads() : std::min(threads, pool.Threads());
    const int64_t slices = runners <= 1 ? 1 : std::min<int64_t>(height, 4 * int64_t(runners));
    runners = unsigned(std::min<int64_t>(runners, slices));  // scratch for those that run
    const size_t run = size_t(std::min(nc, kColumnsAtOnce));
    std::vector<XWeights> weights;
    std::vector<float> values;
    try {
        if (layout.hasBand) PlanBand(f);
        weights.resize(runners * run);
        values.resize(runners * 4 * run);
    } catch (const std::bad_alloc&) {
        return false;
    }
    pool.ForEach(size_t(slices), runners, [&](size_t slice, unsigned runner) {
        const int64_t r0 = height * int64_t(slice) / slices;
        const int64_t r1 = height * (int64_t(slice) + 1) / slices;
        PaintSlice(f, image, r0, r1,
                   {weights.data() + runner * run, values.data() + runner * 4 * run});
    });
    return true;
}

}  // namespace quorlane
