// The paint pass: layout of the field box, the band box and the texts, and
// the picture drawn into a 32-bit top-down off-screen image.
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
// the step along y and the field colour rule over the whole row. The results
// are bit-identical to interpolating and colouring every pixel on its own.
#include "render/paint.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "data/grid.h"
#include "data/settings.h"
#include "render/colour.h"
#include "render/interp.h"

namespace {

constexpr uint32_t kGreyPixel = 0x00C0C0C0u;   // the class background, light grey
constexpr uint32_t kBlackPixel = 0x00000000u;  // the stock black pen
constexpr uint32_t kWhitePixel = 0x00FFFFFFu;  // the default white brush

// Box coordinates are handed to the drawing surface as signed 32-bit
// values; a box reaching beyond that is not drawn at all.
constexpr double kCoordLimit = 2147483648.0;

bool Usable(float v) {
    return std::isfinite(v) && std::fabs(static_cast<double>(v)) < kCoordLimit;
}

// trunc of a value already known to lie within the coordinate limit.
int64_t Trunc(double v) {
    return static_cast<int64_t>(v);
}

// A run of exact positions s + n, n = 1, 2, ...: s split into its whole part
// ts (toward zero) and its fraction rs, both exact.
struct Run {
    int64_t ts;
    double rs;
};

Run SplitStart(float s) {
    const double d = static_cast<double>(s);
    const double t = std::trunc(d);
    return {static_cast<int64_t>(t), d - t};  // exact: the fraction of a float
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
    int64_t lo =
        std::max<int64_t>(1, -s.ts - 2);  // its pixel is below 0 or at most a few steps from it
    while (lo <= hi && PixelAt(s, lo) < 0) ++lo;
    if (lo < hi && PixelAt(s, lo + 1) == PixelAt(s, lo)) ++lo;
    int64_t top = std::min<int64_t>(hi, size - s.ts + 2);
    while (top >= lo && PixelAt(s, top) >= size) --top;
    if (top < lo) return false;
    *first = lo;
    *last = top;
    return true;
}

// A block of the image that a later stage overwrites completely (rows r0 …
// r1 − 1, columns c0 … c1 − 1): the stages before it leave it alone, which
// changes no final pixel and spares writing most of the image twice.
struct Hole {
    int64_t r0 = 0, r1 = 0, c0 = 0, c1 = 0;
    bool Has(int64_t row, int64_t col) const {
        return row >= r0 && row < r1 && col >= c0 && col < c1;
    }
};

// Columns c0 … c1 − 1 of one row, already clipped to the image, outside the hole.
void FillSpan(uint32_t* pixels, int64_t width, int64_t row, int64_t c0, int64_t c1, uint32_t v,
              const Hole& hole) {
    uint32_t* line = pixels + row * width;
    if (row >= hole.r0 && row < hole.r1) {
        const int64_t a = std::min(c1, hole.c0), b = std::max(c0, hole.c1);
        if (a > c0) std::fill(line + c0, line + a, v);
        if (c1 > b) std::fill(line + b, line + c1, v);
    } else if (c1 > c0) {
        std::fill(line + c0, line + c1, v);
    }
}

// The surface's Rectangle with the black pen and the white brush: outline on
// columns left and right − 1 and rows top and bottom − 1, the inside white;
// right and bottom exclusive, the corners put in order first, everything
// clipped to the image.
void DrawRectangle(uint32_t* pixels, int64_t width, int64_t height, int64_t left, int64_t top,
                   int64_t right, int64_t bottom, const Hole& hole = Hole()) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    if (right <= left || bottom <= top) return;
    const int64_t c0 = std::max<int64_t>(left, 0), c1 = std::min<int64_t>(right, width);
    const int64_t r0 = std::max<int64_t>(top, 0), r1 = std::min<int64_t>(bottom, height);
    if (c1 <= c0 || r1 <= r0) return;
    const int64_t i0 = std::max<int64_t>(left + 1, 0), i1 = std::min<int64_t>(right - 1, width);
    for (int64_t y = r0; y < r1; ++y) {
        if (y == top || y == bottom - 1) {
            FillSpan(pixels, width, y, c0, c1, kBlackPixel, hole);
            continue;
        }
        FillSpan(pixels, width, y, i0, i1, kWhitePixel, hole);
        for (int64_t x : {left, right - 1})
            if (x >= 0 && x < width && !hole.Has(y, x)) pixels[y * width + x] = kBlackPixel;
    }
}

// Scratch storage of the paint, grown only when a wider image needs more.
struct Scratch {
    std::vector<XWeights> xw;  // per image column
    std::vector<float> rows;   // three cached array rows along x, per image column
    std::vector<float> ff;     // field values of one image row
    std::vector<uint32_t> band;
    void Reserve(size_t columns) {
        if (xw.size() < columns) {
            xw.resize(columns);
            rows.resize(3 * columns);
            ff.resize(columns);
            band.resize(columns);
        }
    }
};
Scratch scratch;

// The step along y for a whole image row.
void AlongYRow(const YWeights& w, const float* f0, const float* f1, const float* f2, float* out,
               int64_t n) {
    for (int64_t k = 0; k < n; ++k) out[k] = AlongY(w, f0[k], f1[k], f2[k]);
}

// The field image's visited positions cut to the image: n = nx0 … nx1 across
// and ny0 … ny1 down, on the consecutive pixel columns and rows from col0
// and row0.
struct FieldPlan {
    bool any = false;
    int64_t nx0 = 0, nx1 = -1, ny0 = 0, ny1 = -1, col0 = 0, row0 = 0;
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

void PaintField(const Layout& L, const FieldPlan& p, uint32_t* pixels) {
    const int64_t width = L.width;
    const int64_t nx0 = p.nx0, nx1 = p.nx1, ny0 = p.ny0, ny1 = p.ny1, col0 = p.col0;
    const int64_t nc = nx1 - nx0 + 1;
    scratch.Reserve(static_cast<size_t>(nc));
    XWeights* xw = scratch.xw.data();
    const double kx = L.k_norm_x, ky = L.k_norm_y;
    for (int64_t k = 0; k < nc; ++k)
        xw[k] = ColumnWeights(static_cast<float>(static_cast<double>(nx0 + k) * kx));

    // Three slots of array rows along x, each remembering which row it holds.
    float* slot[3] = {scratch.rows.data(), scratch.rows.data() + nc, scratch.rows.data() + 2 * nc};
    int64_t held[3] = {-1, -1, -1};
    auto rowAlongX = [&](int64_t r) -> const float* {
        const int s = static_cast<int>(r % 3);
        if (held[s] != r) {
            const float* src = array + static_cast<size_t>(r) * QntX2;
            for (int64_t k = 0; k < nc; ++k) slot[s][k] = AlongX(xw[k], src);
            held[s] = r;
        }
        return slot[s];
    };

    float* ff = scratch.ff.data();
    for (int64_t n = ny0; n <= ny1; ++n) {
        const YWeights yw = RowWeights(static_cast<float>(static_cast<double>(n) * ky));
        const int64_t j =
            std::min<int64_t>(std::max<int64_t>(yw.j, 1), QntY);  // already so; never read outside
        const float* f0 = rowAlongX(j - 1);
        const float* f1 = rowAlongX(j);
        const float* f2 = rowAlongX(j + 1);
        AlongYRow(yw, f0, f1, f2, ff, nc);
        FieldRow(ff, pixels + (p.row0 + (n - ny0)) * width + col0, static_cast<int>(nc));
    }
}

void PaintBand(const Layout& L, uint32_t* pixels) {
    const int64_t width = L.width, height = L.height;
    const DrawingBox& box = L.band;
    // Every band coordinate is a whole number: an unsigned count as a float.
    const int64_t xs = Trunc(box.xstart), xe = Trunc(box.xend);
    const int64_t ys = Trunc(box.ystart), ye = Trunc(box.yend);
    DrawRectangle(pixels, width, height, xs, ys, xe, ye);

    // Columns xstart + 1 … while x < xend − 1; rows ystart + 1 … while y < yend − 1.
    const int64_t c0 = std::max<int64_t>(xs + 1, 0), c1 = std::min<int64_t>(xe - 1, width);
    const int64_t r0 = std::max<int64_t>(ys + 1, 0), r1 = std::min<int64_t>(ye - 1, height);
    if (c1 <= c0 || r1 <= r0) return;
    const int64_t nc = c1 - c0;
    scratch.Reserve(static_cast<size_t>(nc));
    uint32_t* colour = scratch.band.data();
    const float qy =
        static_cast<float>(static_cast<double>(box.xend) - static_cast<double>(box.xstart));
    // The column position xstart + n is a whole number below the image
    // width, so as a float it is exact for any width up to 2^24.
    for (int64_t k = 0; k < nc; ++k)
        colour[k] = PixelOf(BandColour(static_cast<float>(c0 + k), box.xstart, box.xend, qy));
    for (int64_t y = r0; y < r1; ++y)
        std::memcpy(pixels + y * width + c0, colour, static_cast<size_t>(nc) * 4);
}

int ToInt(double v) {
    const int64_t t = Trunc(v);
    return static_cast<int>(std::min<int64_t>(std::max<int64_t>(t, INT32_MIN), INT32_MAX));
}

void PutText(PaintText* t, double x, double y) {
    t->x = ToInt(x);
    t->y = ToInt(y);
    t->count = static_cast<int>(std::strlen(t->str));
}

// The band box, in unsigned arithmetic, and the texts that hang on it.
void PlaceBand(Layout& L) {
    const int64_t right = L.width, bottom = L.height;
    // Defined only where nothing wraps.
    DrawingBox& b = L.band;
    const int64_t bandTop = bottom - static_cast<int64_t>(Band) - static_cast<int64_t>(Ymargin);
    if (right >= static_cast<int64_t>(Xmargin) && bandTop >= 0) {
        b.xstart = static_cast<float>(Xmargin);
        b.xend = static_cast<float>(static_cast<uint32_t>(right - Xmargin));
        b.ystart = static_cast<float>(static_cast<uint32_t>(bandTop));
        b.yend = static_cast<float>(static_cast<double>(Band) + static_cast<double>(b.ystart));
        L.hasBand = true;

        // The texts hang on the band: the caption from the band's middle,
        // 20 pixels above it; the end values 5 pixels left of the band's ends,
        // 4 pixels below it, each with its full length.
        const double xs = b.xstart, xe = b.xend, ys = b.ystart, ye = b.yend;
        std::snprintf(L.texts[0].str, sizeof L.texts[0].str, "%.49s", Label);
        PutText(&L.texts[0], (xs + xe) * 0.5, ys - 20);
        std::snprintf(L.texts[1].str, sizeof L.texts[1].str, "%4.2f", static_cast<double>(Fmin));
        PutText(&L.texts[1], xs - 5, ye + 4);
        std::snprintf(L.texts[2].str, sizeof L.texts[2].str, "%4.2f", static_cast<double>(Fmax));
        PutText(&L.texts[2], xe - 5, ye + 4);
        L.textCount = 3;
    }
}

}  // namespace

Layout ComputeLayout(int width, int height) {
    Layout L{};
    L.width = std::max(width, 0);
    L.height = std::max(height, 0);
    const int64_t right = L.width, bottom = L.height;

    // Room for the field box above the band; may be zero or negative.
    L.maxx = static_cast<float>(right);
    L.maxy = static_cast<float>(static_cast<double>(bottom) - static_cast<double>(Band) -
                                static_cast<double>(Ymargin) - static_cast<double>(Ymargin));

    // Aspect fit. Each value is stored as a float before the next uses it.
    DrawingBox& f = L.field;
    const bool gridOk = array != nullptr && QntX > 0 && QntY > 0;
    if (gridOk && L.maxx > 0 && L.maxy != 0) {
        const double A = static_cast<double>(Xmax) / static_cast<double>(L.maxx);
        const double B = static_cast<double>(Ymax) / static_cast<double>(L.maxy);
        // A field so small in world units that k_norm rounds to 0 gets no
        // box: the centring divides by k_norm.
        const float k = static_cast<float>(B < A ? A : B);
        if (std::isfinite(k) && k > 0) {
            if (B < A) {  // the width binds
                L.k_norm = static_cast<float>(A);
                f.xstart = 0;
                f.xend = L.maxx;
                f.ystart =
                    static_cast<float>((static_cast<double>(L.maxy) -
                                        static_cast<double>(Ymax) / static_cast<double>(L.k_norm)) *
                                       0.5);
                f.yend =
                    static_cast<float>(static_cast<double>(L.maxy) - static_cast<double>(f.ystart));
            } else {  // the height binds, equality included
                L.k_norm = static_cast<float>(B);
                f.ystart = 0;
                f.yend = L.maxy;
                f.xstart =
                    static_cast<float>((static_cast<double>(L.maxx) -
                                        static_cast<double>(Xmax) / static_cast<double>(L.k_norm)) *
                                       0.5);
                f.xend =
                    static_cast<float>(static_cast<double>(L.maxx) - static_cast<double>(f.xstart));
            }
            L.k_norm_x =
                static_cast<float>(static_cast<double>(L.k_norm) / static_cast<double>(delX));
            L.k_norm_y =
                static_cast<float>(static_cast<double>(L.k_norm) / static_cast<double>(delY));
            L.hasField = std::isfinite(L.k_norm_x) && std::isfinite(L.k_norm_y) &&
                         Usable(f.xstart) && Usable(f.xend) && Usable(f.ystart) && Usable(f.yend) &&
                         Usable(static_cast<float>(static_cast<double>(f.yend) + 1.0));
        }
    }

    PlaceBand(L);
    return L;
}

void PaintClient(const Layout& layout, uint32_t* pixels) {
    if (pixels == nullptr || layout.width <= 0 || layout.height <= 0) return;
    const int64_t width = layout.width, height = layout.height;
    const bool field = layout.hasField && array != nullptr;
    const FieldPlan plan = field ? PlanField(layout) : FieldPlan();
    Hole hole;
    if (plan.any)
        hole = {plan.row0, plan.row0 + plan.ny1 - plan.ny0 + 1, plan.col0,
                plan.col0 + plan.nx1 - plan.nx0 + 1};

    // The background the window is erased to, then the field frame.
    for (int64_t y = 0; y < height; ++y) FillSpan(pixels, width, y, 0, width, kGreyPixel, hole);
    if (field) {
        const DrawingBox& box = layout.field;
        DrawRectangle(pixels, width, height, Trunc(box.xstart), Trunc(box.ystart), Trunc(box.xend),
                      Trunc(static_cast<double>(box.yend) + 1.0), hole);
    }
    if (plan.any) PaintField(layout, plan, pixels);
    if (layout.hasBand) PaintBand(layout, pixels);
}
