// The paint pass: layout of the field box, the band box and the texts, and
// the picture drawn into a caller's 32-bit off-screen image.
//
// Positions. The field image visits the positions xstart + n and ystart + n
// (n = 1, 2, ...) of its box, and the band those of its own box. They are
// taken exactly, never by adding 1 to a stored float again and again, which
// would skip a row or a column once the fraction of a fractional start no
// longer fits the float. The pixel of a position is its truncation toward
// zero, the stop tests compare the exact position, and the grid coordinate
// is n times the cells-per-pixel factor (in double), rounded to a float.
// Where stored-float stepping is exact (whole or representable starts) this
// is the very same set of pixels and grid coordinates. The band's box edges
// are whole numbers, so its positions are whole numbers too.
//
// Speed. The x weights and the pixel column depend only on the column, the
// y weights only on the row, and the three row results along x only on the
// column and the cell row, so each is formed once; per pixel there remains
// the step along y and the field row painter over the whole row. The results
// are bit-identical to interpolating and colouring every pixel on its own.
//
// Threads. The image is cut into bands of whole rows, and each band is drawn
// completely (background, frames, field, band) by one thread in the order a
// single pass would draw it, so every pixel ends the same on any number of
// threads.
#include "render/paint.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "data/worker_pool.h"
#include "render/colour.h"
#include "render/interp.h"

namespace {

constexpr uint32_t kGreyPixel = 0x00C0C0C0u;   // the class background, light grey
constexpr uint32_t kBlackPixel = 0x00000000u;  // the stock black pen
constexpr uint32_t kWhitePixel = 0x00FFFFFFu;  // the default white brush

// Below this many pixels a paint runs on the calling thread alone.
constexpr int64_t kThreadedPixels = 1 << 15;

// Box coordinates are handed to the drawing surface as signed 32-bit
// values; a box reaching beyond that is not drawn at all.
constexpr double kCoordLimit = 2147483648.0;

bool Usable(float v) {
    return std::isfinite(v) && std::fabs(double(v)) < kCoordLimit;
}

// trunc of a value already known to lie within the coordinate limit.
int64_t Trunc(double v) {
    return int64_t(v);
}

// A run of exact positions s + n, n = 1, 2, ...: s split into its whole part
// ts (toward zero) and its fraction rs, both exact.
struct Run {
    int64_t ts;
    double rs;
};

Run SplitStart(float s) {
    const double d = s;
    const double t = std::trunc(d);
    return {int64_t(t), d - t};  // exact: the fraction of a float
}

// trunc(s + n) of the exact sum.
int64_t PixelAt(const Run& r, int64_t n) {
    const int64_t m = r.ts + n;
    if (r.rs > 0) return m >= 0 ? m : m + 1;
    if (r.rs < 0) return m > 0 ? m - 1 : m;
    return m;
}

// Whether s + n < e − c holds exactly (e a float, c a small whole number).
// With s = ts + rs and e = te + re (fractions in (−1, 1)) this is
// k < re − rs for the whole number k = ts + n + c − te; only k = −1, 0, 1
// need the fractions. re ∓ 1 may round in double only when re is below
// 2^-29 in size, and then every float fraction rs lies on the same side of
// both the exact and the rounded value, so each answer is exact.
bool Before(const Run& s, int64_t n, const Run& e, int64_t c) {
    const int64_t k = s.ts + n + c - e.ts;
    if (k <= -2) return true;
    if (k >= 2) return false;
    if (k == 0) return s.rs < e.rs;
    if (k == 1) return s.rs < e.rs - 1.0;
    return s.rs < e.rs + 1.0;
}

// The visited positions n = 1 … last of the run from s while s + n < e − c,
// cut to the pixels 0 … size − 1. Gives the first and last n whose pixel is
// inside; the pixels of first … last are then consecutive. When two
// positions fall on pixel 0 (one in (−1, 0), one in [0, 1)) the earlier is
// left out: the later one overwrites it with nothing drawn in between.
// Returns false when no position falls inside.
bool VisibleSteps(const Run& s, const Run& e, int64_t c, int64_t size, int64_t* first,
                  int64_t* last) {
    if (size <= 0) return false;
    // The last n with s + n < e − c lies at k = 0 ± 1.
    const int64_t n0 = e.ts - c - s.ts;
    int64_t hi = n0 - 2;
    for (int64_t n = n0 + 1; n >= n0 - 1; --n) {
        if (Before(s, n, e, c)) {
            hi = n;
            break;
        }
    }
    // Its pixel is below 0 or at most a few steps from it.
    int64_t lo = std::max<int64_t>(1, -s.ts - 2);
    while (lo <= hi && PixelAt(s, lo) < 0) ++lo;
    if (lo < hi && PixelAt(s, lo + 1) == PixelAt(s, lo)) ++lo;
    int64_t top = std::min<int64_t>(hi, size - s.ts + 2);
    while (top >= lo && PixelAt(s, top) >= size) --top;
    if (top < lo) return false;
    *first = lo;
    *last = top;
    return true;
}

// A rectangle of pixels, rows r0 … r1 − 1 and columns c0 … c1 − 1.
struct Block {
    int64_t r0 = 0, r1 = 0, c0 = 0, c1 = 0;
    bool Has(int64_t row, int64_t col) const {
        return row >= r0 && row < r1 && col >= c0 && col < c1;
    }
};

// One band of whole rows of the caller's image being drawn: rows r0 … r1 − 1
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
    // first, everything clipped to the image and to this band of rows.
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

// The field image's visited positions cut to the image: n = nx0 … nx1 across
// and ny0 … ny1 down, on the consecutive pixel columns and rows from col0
// and row0.
struct FieldPlan {
    bool any = false;
    int64_t nx0 = 0, nx1 = -1, ny0 = 0, ny1 = -1, col0 = 0, row0 = 0;
    int64_t Columns() const { return nx1 - nx0 + 1; }
    Block Area() const {
        if (!any) return Block();
        return {row0, row0 + ny1 - ny0 + 1, col0, col0 + Columns()};
    }
};

FieldPlan PlanField(const Layout& L) {
    FieldPlan p;
    const DrawingBox& box = L.field;
    const Run xs = SplitStart(box.xstart), xe = SplitStart(box.xend);
    const Run ys = SplitStart(box.ystart), ye = SplitStart(box.yend);
    p.any = VisibleSteps(xs, xe, 1, L.width, &p.nx0, &p.nx1) &&  // columns while x < xend − 1
            VisibleSteps(ys, ye, 0, L.height, &p.ny0, &p.ny1);   // rows while y < yend
    if (p.any) {
        p.col0 = PixelAt(xs, p.nx0);
        p.row0 = PixelAt(ys, p.ny0);
    }
    return p;
}

// Everything a paint computes once and every band of rows reads.
struct Frame {
    const Grid& grid;
    const DisplaySettings& settings;
    const FieldRowPainter& rows;
    const Layout& layout;
    bool field;                           // the field box is drawn
    FieldPlan plan;                       // and the part of its image that falls inside the picture
    std::vector<XWeights> columnWeights;  // per field image column
    int64_t bandC0 = 0, bandC1 = 0, bandR0 = 0, bandR1 = 0;  // the band's inside, clipped
    std::vector<uint32_t> bandColours;                       // per band column
};

// The field image rows of the pixel rows r0 … r1 − 1. `scratch` holds four
// rows of field values: three cached array rows along x and one row of
// interpolated values.
void PaintFieldRows(const Frame& f, const Canvas& canvas, float* scratch) {
    const FieldPlan& p = f.plan;
    const int64_t nc = p.Columns();
    const int64_t first = std::max(p.ny0, p.ny0 + (canvas.r0 - p.row0));
    const int64_t last = std::min(p.ny1, p.ny0 + (canvas.r1 - 1 - p.row0));
    const XWeights* xw = f.columnWeights.data();

    // Three slots of array rows along x, each remembering which row it holds.
    float* slot[3] = {scratch, scratch + nc, scratch + 2 * nc};
    float* values = scratch + 3 * nc;
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

    const double ky = f.layout.cellsPerPixelY;
    for (int64_t n = first; n <= last; ++n) {
        const YWeights yw = RowWeights(f.grid, float(double(n) * ky));
        const float* f0 = rowAlongX(int64_t(yw.row) - 1);
        const float* f1 = rowAlongX(yw.row);
        const float* f2 = rowAlongX(int64_t(yw.row) + 1);
        for (int64_t k = 0; k < nc; ++k) values[k] = AlongY(yw, f0[k], f1[k], f2[k]);
        f.rows.Paint(values, canvas.Line(p.row0 + (n - p.ny0)) + p.col0, int(nc));
    }
}

// The rows r0 … r1 − 1 of the whole picture, in the order of a single pass:
// background, field frame, field image, band frame, band.
void PaintRows(const Frame& f, PixelImage image, int64_t r0, int64_t r1, float* scratch) {
    const Layout& L = f.layout;
    const Canvas canvas{image, L.width, r0, r1, f.plan.Area()};
    for (int64_t y = r0; y < r1; ++y) canvas.FillSpan(y, 0, L.width, kGreyPixel, true);
    if (f.field) {
        const DrawingBox& box = L.field;
        canvas.Rectangle(Trunc(box.xstart), Trunc(box.ystart), Trunc(box.xend),
                         Trunc(double(box.yend) + 1.0), true);
    }
    if (f.plan.any) PaintFieldRows(f, canvas, scratch);
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
void PlanBand(Frame& f) {
    const Layout& L = f.layout;
    const DrawingBox& box = L.band;
    // Every band coordinate is a whole number: an unsigned count as a float.
    // Columns xstart + 1 … while x < xend − 1; rows ystart + 1 … while y < yend − 1.
    f.bandC0 = std::max<int64_t>(Trunc(box.xstart) + 1, 0);
    f.bandC1 = std::min<int64_t>(Trunc(box.xend) - 1, L.width);
    f.bandR0 = std::max<int64_t>(Trunc(box.ystart) + 1, 0);
    f.bandR1 = std::min<int64_t>(Trunc(box.yend) - 1, L.height);
    if (f.bandC1 <= f.bandC0 || f.bandR1 <= f.bandR0) {
        f.bandR1 = f.bandR0;  // no band pixel
        return;
    }
    const float bandWidth = float(double(box.xend) - double(box.xstart));
    // The column position xstart + n is a whole number below the image
    // width, so as a float it is exact for any width up to 2^24.
    f.bandColours.resize(size_t(f.bandC1 - f.bandC0));
    for (size_t k = 0; k < f.bandColours.size(); ++k)
        f.bandColours[k] = PixelOf(
            BandColour(f.settings, float(f.bandC0 + int64_t(k)), box.xstart, box.xend, bandWidth));
}

int ToInt(double v) {
    const int64_t t = Trunc(v);
    return int(std::min<int64_t>(std::max<int64_t>(t, INT32_MIN), INT32_MAX));
}

void PutText(PaintText* t, double x, double y) {
    t->x = ToInt(x);
    t->y = ToInt(y);
    t->count = int(std::strlen(t->str));
}

// The band box, in unsigned arithmetic, and the texts that hang on it.
void PlaceBand(const DisplaySettings& s, Layout& L) {
    const int64_t right = L.width, bottom = L.height;
    // Defined only where nothing wraps.
    const int64_t bandTop = bottom - int64_t(s.bandHeight) - int64_t(s.bandStrip);
    if (right < int64_t(s.bandSideGap) || bandTop < 0) return;
    DrawingBox& b = L.band;
    b.xstart = float(s.bandSideGap);
    b.xend = float(uint32_t(right - s.bandSideGap));
    b.ystart = float(uint32_t(bandTop));
    b.yend = float(double(s.bandHeight) + double(b.ystart));
    L.hasBand = true;

    // The texts hang on the band: the caption from the band's middle, 20
    // pixels above it; the end values 5 pixels left of the band's ends, 4
    // pixels below it, each with its full length.
    const double xs = b.xstart, xe = b.xend, ys = b.ystart, ye = b.yend;
    std::snprintf(L.texts[0].str, sizeof L.texts[0].str, "%.49s", s.caption);
    PutText(&L.texts[0], (xs + xe) * 0.5, ys - 20);
    std::snprintf(L.texts[1].str, sizeof L.texts[1].str, "%4.2f", double(s.scaleMin));
    PutText(&L.texts[1], xs - 5, ye + 4);
    std::snprintf(L.texts[2].str, sizeof L.texts[2].str, "%4.2f", double(s.scaleMax));
    PutText(&L.texts[2], xe - 5, ye + 4);
    L.textCount = 3;
}

}  // namespace

Layout ComputeLayout(const Grid& grid, const DisplaySettings& s, int width, int height) {
    Layout L{};
    L.width = std::max(width, 0);
    L.height = std::max(height, 0);

    // Room for the field box above the band; may be zero or negative.
    L.roomWidth = float(L.width);
    L.roomHeight =
        float(double(L.height) - double(s.bandHeight) - double(s.bandStrip) - double(s.bandStrip));

    // Aspect fit. Each value is stored as a float before the next uses it.
    DrawingBox& f = L.field;
    const double roomW = L.roomWidth, roomH = L.roomHeight;
    if (grid.Loaded() && roomW > 0 && roomH != 0) {
        const double A = double(grid.fieldWidth) / roomW;   // world units per pixel across
        const double B = double(grid.fieldHeight) / roomH;  // and down
        // A field so small in world units that the scale rounds to 0 gets
        // no box: the centring divides by it.
        const float k = float(B < A ? A : B);
        if (std::isfinite(k) && k > 0) {
            if (B < A) {  // the width binds
                L.worldPerPixel = float(A);
                f.xstart = 0;
                f.xend = L.roomWidth;
                f.ystart = float((roomH - double(grid.fieldHeight) / L.worldPerPixel) * 0.5);
                f.yend = float(roomH - double(f.ystart));
            } else {  // the height binds, equality included
                L.worldPerPixel = float(B);
                f.ystart = 0;
                f.yend = L.roomHeight;
                f.xstart = float((roomW - double(grid.fieldWidth) / L.worldPerPixel) * 0.5);
                f.xend = float(roomW - double(f.xstart));
            }
            L.cellsPerPixelX = float(double(L.worldPerPixel) / double(grid.cellWidth));
            L.cellsPerPixelY = float(double(L.worldPerPixel) / double(grid.cellHeight));
            L.hasField = std::isfinite(L.cellsPerPixelX) && std::isfinite(L.cellsPerPixelY) &&
                         Usable(f.xstart) && Usable(f.xend) && Usable(f.ystart) && Usable(f.yend) &&
                         Usable(float(double(f.yend) + 1.0));
        }
    }

    PlaceBand(s, L);
    return L;
}

void PaintClient(const Grid& grid, const DisplaySettings& settings, const FieldRowPainter& rows,
                 const Layout& layout, PixelImage image, unsigned threads) {
    if (image.pixels == nullptr || layout.width <= 0 || layout.height <= 0) return;
    Frame f{grid, settings, rows, layout, layout.hasField && grid.Loaded(), FieldPlan(), {}, 0,
            0,    0,        0,    {}};
    if (f.field) f.plan = PlanField(layout);
    const int64_t nc = f.plan.any ? f.plan.Columns() : 0;
    f.columnWeights.resize(size_t(nc));
    for (int64_t k = 0; k < nc; ++k)
        f.columnWeights[k] =
            ColumnWeights(grid, float(double(f.plan.nx0 + k) * layout.cellsPerPixelX));
    if (layout.hasBand) PlanBand(f);

    // Bands of rows, a few per thread so that they share the work evenly.
    const int64_t height = layout.height;
    if (int64_t(layout.width) * height < kThreadedPixels) threads = 1;
    WorkerPool& pool = WorkerPool::Shared();
    const unsigned runners = threads == 0 ? pool.Threads() : std::min(threads, pool.Threads());
    const int64_t bands = runners <= 1 ? 1 : std::min<int64_t>(height, 4 * int64_t(runners));
    std::vector<float> scratch(size_t(runners) * 4 * size_t(nc));
    pool.ForEach(size_t(bands), runners, [&](size_t band, unsigned runner) {
        const int64_t r0 = height * int64_t(band) / bands;
        const int64_t r1 = height * (int64_t(band) + 1) / bands;
        PaintRows(f, image, r0, r1, scratch.data() + size_t(runner) * 4 * size_t(nc));
    });
}
