// The paint pass fed arbitrary grids, settings and client sizes.
//
// The input is split into three parts: the client size (a size class and the
// two sides), the grid (its sizes, cell sizes and samples) and the settings
// (the seventeen values and the caption). The grid and the settings are
// written out as file text and go through the real loaders, so every paint
// sees what the program would. The paint then draws into a heap image of
// exactly width × height pixels (any write outside it is caught) on one
// thread, and into an image with rows wider than the picture on all of the
// pool's threads; both must equal, pixel for pixel, the plain rendering that
// sets every pixel on its own (tests/plain_paint.h), the padding must stay
// untouched, and the texts must be terminated and counted within their
// buffers.
//
// Client sizes stay small most of the time (at most 32 × 32) so that one
// execution is fast; some inputs take up to 160 × 160, and a few take a side
// of up to 8192 with the other side cut to keep at most kMaxPixels. Grids
// have at most 16 × 16 cells.
//
// To see what an input stands for, run the target on it with
// QUORLANE_FUZZ_DUMP set: it prints the client size and both files' text.
#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "common/worker_pool.h"
#include "data/grid_loader.h"
#include "data/settings.h"
#include "fuzz_check.h"
#include "plain_paint.h"
#include "render/field_row.h"
#include "render/paint.h"

namespace {

constexpr int kMaxPixels = 1 << 16;

// A real as file text: small whole numbers, special values or any float.
void AppendReal(FuzzedDataProvider& in, std::string& out) {
    static const char* const special[] = {
        "0",     "1",     "0.5",  "0.1", "-1",   "1e39",  "-1e39", "3.4e38",
        "1e-45", "1e-38", "12.5", "100", "-0.0", "65536", "0.65",  "1e30",
    };
    char buf[40];
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        std::snprintf(buf, sizeof buf, "%d", in.ConsumeIntegralInRange<int>(-300, 300));
        break;
    case 1:
        std::snprintf(buf, sizeof buf, "%s", special[in.ConsumeIntegralInRange<int>(0, 15)]);
        break;
    default: {
        uint32_t bits = in.ConsumeIntegral<uint32_t>();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        if (std::isnan(f)) f = 0;
        if (std::isinf(f))
            std::snprintf(buf, sizeof buf, "%s", f > 0 ? "1e39" : "-1e39");
        else
            std::snprintf(buf, sizeof buf, "%.9g", static_cast<double>(f));
        break;
    }
    }
    out += buf;
    out += '\n';
}

// A whole number as file text: mostly small, sometimes any 32-bit value.
void AppendInt(FuzzedDataProvider& in, std::string& out, int lo, int hi) {
    long long v = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(lo, hi)
                                   : static_cast<long long>(in.ConsumeIntegral<int32_t>());
    out += std::to_string(v);
    out += '\n';
}

void ClientSize(FuzzedDataProvider& in, int& w, int& h) {
    uint8_t cls = in.ConsumeIntegral<uint8_t>();
    int side = cls < 250 ? 32 : cls < 255 ? 160 : 8192;
    w = in.ConsumeIntegralInRange<int>(0, side);
    h = in.ConsumeIntegralInRange<int>(0, side);
    if (static_cast<long long>(w) * h > kMaxPixels) {
        if (in.ConsumeBool())
            h = kMaxPixels / w;
        else
            w = kMaxPixels / h;
    }
}

std::string GridText(FuzzedDataProvider& in) {
    std::string t;
    uint32_t qx = in.ConsumeIntegralInRange<uint32_t>(1, 16);
    uint32_t qy = in.ConsumeIntegralInRange<uint32_t>(1, 16);
    t += std::to_string(qx) + ' ' + std::to_string(qy) + '\n';
    AppendReal(in, t);
    AppendReal(in, t);
    for (uint32_t k = 0; k < qx * qy; ++k) AppendReal(in, t);
    return t;
}

std::string SettingsText(FuzzedDataProvider& in) {
    std::string t;
    bool flat = in.ConsumeIntegralInRange<int>(0, 7) == 0;  // scaleMax equal to scaleMin
    std::string scaleMin;
    AppendReal(in, scaleMin);
    t += scaleMin;
    if (flat)
        t += scaleMin;
    else
        AppendReal(in, t);
    for (int k = 0; k < 6; ++k) AppendInt(in, t, -300, 600);  // minRed .. maxBlue
    AppendInt(in, t, 0, 2000);                                // windowWidth
    AppendInt(in, t, 0, 2000);                                // windowHeight
    for (int k = 0; k < 3; ++k) AppendInt(in, t, 0, 64);      // bandHeight, bandSideGap, bandStrip
    t += "10\n";                                              // intervals
    std::string caption = in.ConsumeRandomLengthString(70);
    for (char& c : caption)
        if (c == '\n' || c == '\r' || c == '\x1a' || c == '\0') c = '_';
    t += caption + '\n';
    AppendInt(in, t, 0, 2);  // clipping
    AppendInt(in, t, 0, 2);  // palette
    return t;
}

// The pool the target loads and paints on, as many threads as the machine has cores.
WorkerPool& Pool() {
    static WorkerPool pool(WorkerPool::CoreThreads());
    return pool;
}

// The row painter of the settings. Building one takes a few milliseconds, far
// longer than the rest of an execution, and successive inputs often share
// their settings, so the harness keeps the painters of the last few.
const FieldRowPainter& PainterFor(const DisplaySettings& s) {
    static std::map<std::string, std::unique_ptr<FieldRowPainter>> painters;
    const std::string key(reinterpret_cast<const char*>(&s), sizeof s);
    std::unique_ptr<FieldRowPainter>& p = painters[key];
    if (!p) {
        if (painters.size() > 64) {
            painters.clear();
            return *(painters[key] = std::make_unique<FieldRowPainter>(s));
        }
        p = std::make_unique<FieldRowPainter>(s);
    }
    return *p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    int w, h;
    ClientSize(in, w, h);
    std::string grid = GridText(in);
    std::string settings = SettingsText(in);
    static const bool dump = std::getenv("QUORLANE_FUZZ_DUMP") != nullptr;
    if (dump)
        std::fprintf(stderr, "client %d x %d\n--- quorlane.dat\n%s--- quorlane.ini\n%s---\n", w, h,
                     grid.c_str(), settings.c_str());

    Grid g;
    DisplaySettings s;
    if (!LoadGridBytes(g, grid.data(), grid.size(), Pool()).ok) return 0;
    if (!LoadSettingsBytes(s, settings.data(), settings.size()).ok) return 0;

    Layout layout = ComputeLayout(g, s, w, h);
    FUZZ_CHECK(layout.width == w && layout.height == h);
    FUZZ_CHECK(layout.textCount >= 0 && layout.textCount <= 3);
    for (int k = 0; k < layout.textCount; ++k) {
        const PaintText& t = layout.texts[k];
        size_t len = strnlen(t.str, sizeof t.str);
        FUZZ_CHECK(len < sizeof t.str);
        FUZZ_CHECK(t.count >= 0 && static_cast<size_t>(t.count) <= len);
    }

    const FieldRowPainter& painter = PainterFor(s);
    const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
    uint32_t* exact = static_cast<uint32_t*>(std::malloc(n > 0 ? n * sizeof(uint32_t) : 1));
    std::memset(exact, 0xFF, n * sizeof(uint32_t));
    PaintClient(g, painter, layout, {exact, w}, Pool(), 1);

    Image plain(w, h), padded(w, h, 5);
    PaintPlainly(g, s, layout, plain);
    PaintClient(g, painter, layout, padded.Target(), Pool(), 0);
    for (int64_t y = 0; y < h; ++y) {
        for (int64_t x = 0; x < w; ++x) {
            FUZZ_CHECK(exact[y * w + x] == plain.At(x, y));
            FUZZ_CHECK(padded.At(x, y) == plain.At(x, y));
        }
    }
    const int64_t untouched = std::count(padded.buf.begin(), padded.buf.end(), kUntouched);
    FUZZ_CHECK(untouched == 128 + 5 * int64_t(h));
    std::free(exact);
    return 0;
}
